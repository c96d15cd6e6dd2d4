#include "TarnKit/Platform/Base64.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using namespace std::literals;

struct EncodingCase {
    std::string bytes;
    const char* expected;
};

const EncodingCase encodingCases[] = {
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

TEST(Base64, EncodesWithTheStandardAlphabetAndPadding) {
    for (const auto& c : encodingCases)
        EXPECT_EQ(tarn::base64::encode(c.bytes), c.expected) << c.expected;
    // Long input gets no line breaks.
    EXPECT_EQ(tarn::base64::encode(std::string(300, 'a')).find('\n'), std::string::npos);
}

TEST(Base64, DecodesExactlyWhatItEncodesAndNothingElse) {
    for (const auto& c : encodingCases)
        EXPECT_EQ(tarn::base64::decode(c.expected), c.bytes) << c.expected;
    for (const char* text : {"Zg=", "Zg", "Z===", "Zh==", "Zm9=", "Zg==Zg==", "Zm=v", "Zm9v\n",
                             "Zm9v Zm9v", "Zm9-", "Zm9_"})
        EXPECT_EQ(tarn::base64::decode(text), std::nullopt) << text;
}

} // namespace
