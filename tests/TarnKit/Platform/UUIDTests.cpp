#include "TarnKit/Platform/UUID.h"

#include <gtest/gtest.h>
#include <set>

namespace {

TEST(UUID, RandomIsVersion4InUpperCaseAndUnique) {
    std::set<tarn::UUID> seen;
    for (int i = 0; i < 200; ++i) {
        const tarn::UUID id = tarn::UUID::random();
        const std::string text = id.string();
        ASSERT_EQ(text.size(), 36u);
        EXPECT_EQ(text[14], '4');
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos) << text;
        EXPECT_EQ(text.find_first_of("abcdef"), std::string::npos) << text;
        EXPECT_EQ(tarn::UUID::fromString(text), id);
        EXPECT_TRUE(seen.insert(id).second);
    }
}

TEST(UUID, ParsesEitherCaseAndRejectsOtherForms) {
    const auto upper = tarn::UUID::fromString("33333333-3333-4333-8333-33333333330A");
    const auto lower = tarn::UUID::fromString("33333333-3333-4333-8333-33333333330a");
    ASSERT_TRUE(upper.has_value());
    EXPECT_EQ(upper, lower);
    EXPECT_EQ(lower->string(), "33333333-3333-4333-8333-33333333330A");

    const char* rejected[] = {
        "",
        "33333333333343338333333333333301",       // no hyphens
        "{33333333-3333-4333-8333-333333333301}", // braces
        "33333333-3333-4333-8333-3333333333011",  // too long
        "33333333-3333-4333-8333-33333333330",    // too short
        "3333333-33333-4333-8333-333333333301",   // hyphen misplaced
        "33333333-3333-4333-8333-33333333330G",   // not hex
        "33333333-3333-4333-8333 333333333301",   // blank for hyphen
        "+3333333-3333-4333-8333-333333333301",
    };
    for (const char* text : rejected)
        EXPECT_FALSE(tarn::UUID::fromString(text).has_value()) << text;
}

} // namespace
