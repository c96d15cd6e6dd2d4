#include "TarnKit/Platform/JSON.h"
#include "TarnKit/Platform/JSONCoding.h"
#include "TarnKit/System/TarnHotkeyDescriptor.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unordered_set>

namespace tarn {
namespace {

TEST(TarnHotkeyDescriptor, EncodesBothFieldsUnderTheirNames) {
    EXPECT_EQ(TarnHotkeyDescriptor::cmdShiftFlag, 0x300u);
    EXPECT_EQ(TarnHotkeyDescriptor::cmdOptionFlag, 0x900u);

    const TarnHotkeyDescriptor descriptor{.keyCode = 49,
                                          .carbonModifiers = TarnHotkeyDescriptor::cmdShiftFlag};
    EXPECT_EQ(json::compact(nlohmann::json(descriptor)), R"({"carbonModifiers":768,"keyCode":49})");

    const TarnHotkeyDescriptor largest{.keyCode = 0xFFFFFFFF, .carbonModifiers = 0};
    const auto reread = json::parse(json::compact(nlohmann::json(largest)));
    ASSERT_TRUE(reread.has_value());
    EXPECT_EQ(json::decode<TarnHotkeyDescriptor>(*reread), largest);
}

TEST(TarnHotkeyDescriptor, DecodingRequiresBothUnsigned32BitNumbers) {
    using Kind = json::DecodingError::Kind;
    const struct {
        const char* text;
        Kind kind;
    } failures[] = {
        {R"({"keyCode":49})", Kind::keyNotFound},
        {R"({"carbonModifiers":768})", Kind::keyNotFound},
        {R"({"keyCode":null,"carbonModifiers":768})", Kind::valueNotFound},
        {R"({"keyCode":"49","carbonModifiers":768})", Kind::typeMismatch},
        {R"({"keyCode":-1,"carbonModifiers":768})", Kind::dataCorrupted},
        {R"({"keyCode":4294967296,"carbonModifiers":768})", Kind::dataCorrupted},
        {R"({"keyCode":49.5,"carbonModifiers":768})", Kind::dataCorrupted},
        {R"([49,768])", Kind::typeMismatch},
    };
    for (const auto& failure : failures) {
        const auto document = json::parse(failure.text);
        ASSERT_TRUE(document.has_value()) << failure.text;
        try {
            (void)json::decode<TarnHotkeyDescriptor>(*document);
            ADD_FAILURE() << "decoded " << failure.text;
        } catch (const json::DecodingError& error) {
            EXPECT_EQ(error.kind(), failure.kind) << failure.text << ": " << error.what();
        }
    }

    const auto extra = json::parse(R"({"keyCode":0,"carbonModifiers":4352,"label":"x"})");
    EXPECT_EQ(json::decode<TarnHotkeyDescriptor>(*extra),
              (TarnHotkeyDescriptor{.keyCode = 0, .carbonModifiers = 4352}));
}

TEST(TarnHotkeyDescriptor, HashesBothFieldsInOrder) {
    const std::hash<TarnHotkeyDescriptor> hash;
    EXPECT_EQ(hash({.keyCode = 49, .carbonModifiers = 768}),
              hash({.keyCode = 49, .carbonModifiers = 768}));
    std::unordered_set<TarnHotkeyDescriptor> set = {
        {.keyCode = 1, .carbonModifiers = 2},
        {.keyCode = 2, .carbonModifiers = 1},
        {.keyCode = 1, .carbonModifiers = 2},
    };
    EXPECT_EQ(set.size(), 2u);
    EXPECT_NE(hash({.keyCode = 1, .carbonModifiers = 2}),
              hash({.keyCode = 2, .carbonModifiers = 1}));
}

} // namespace
} // namespace tarn
