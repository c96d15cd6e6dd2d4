#include "TarnKit/Platform/Base64.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using namespace std::literals;

TEST(Base64, EncodesWithTheStandardAlphabetAndPadding) {
    const struct {
        std::string bytes;
        const char* expected;
    } cases[] = {
        // RFC 4648 section 10.
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        // The two alphabet characters that differ between the variants, and
        // bytes above 0x7F.
        {"\xfb\xff\xbf"s, "+/+/"},
        {"\0\x80\xff"s, "AID/"},
        {":", "Og=="},
        {"user:p\xc3\xa4ss", "dXNlcjpww6Rzcw=="},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tarn::base64::encode(c.bytes), c.expected) << c.expected;
    // Long input gets no line breaks.
    EXPECT_EQ(tarn::base64::encode(std::string(300, 'a')).find('\n'), std::string::npos);
}

} // namespace
