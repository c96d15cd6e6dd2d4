#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/LZFSE.h"
#include "TarnKit/Utilities/TarnChecksum.h"
#include "support/TemporaryFolder.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

// Streams here are assembled by hand from the format's description: stored and
// LZVN blocks byte by byte, LZFSE blocks from frequency tables small enough to
// follow each state transition on paper (see the comments at each block).
namespace {

using namespace std::string_literals;
using tarn::lzfse::decompress;

constexpr std::size_t kCap = 1 << 20;
const std::string kEnd = "bvx$";

std::string le(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string stored(std::string_view raw) {
    return "bvx-" + le(raw.size(), 4) + std::string(raw);
}

std::string lzvn(std::size_t rawBytes, const std::string& payload) {
    return "bvxn" + le(rawBytes, 4) + le(payload.size(), 4) + payload;
}

const std::string kLZVNEnd = "\x06\0\0\0\0\0\0\0"s;

// --- LZFSE block assembly ------------------------------------------------------

// The v2 header's prefix code for one frequency, as (bits, length), written from
// the least significant bit up.
std::pair<std::uint32_t, int> frequencyCode(int value) {
    static constexpr std::array<std::pair<std::uint32_t, int>, 8> kSmall = {
        {{0, 2}, {2, 2}, {1, 3}, {5, 3}, {3, 5}, {11, 5}, {19, 5}, {27, 5}}};
    if (value < 8)
        return kSmall[static_cast<std::size_t>(value)];
    if (value < 24)
        return {7u | static_cast<std::uint32_t>(value - 8) << 4, 8};
    return {15u | static_cast<std::uint32_t>(value - 24) << 4, 14};
}

struct LZFSEBlock {
    std::uint32_t rawBytes = 0;
    std::uint32_t literalCount = 0;
    std::uint32_t matchCount = 0;
    std::array<std::uint16_t, 4> literalState{};
    int literalBits = 0;
    std::string literalPayload;
    std::uint16_t lState = 0;
    std::uint16_t mState = 0;
    std::uint16_t dState = 0;
    int lmdBits = 0;
    std::string lmdPayload;
    std::map<int, int> lFreq, mFreq, dFreq, literalFreq;
    int headerSizeAdjustment = 0; // to damage the v2 header

    std::vector<int> frequencies() const {
        std::vector<int> all(20 + 20 + 64 + 256, 0);
        for (const auto& [symbol, f] : lFreq)
            all[static_cast<std::size_t>(symbol)] = f;
        for (const auto& [symbol, f] : mFreq)
            all[20 + static_cast<std::size_t>(symbol)] = f;
        for (const auto& [symbol, f] : dFreq)
            all[40 + static_cast<std::size_t>(symbol)] = f;
        for (const auto& [symbol, f] : literalFreq)
            all[104 + static_cast<std::size_t>(symbol)] = f;
        return all;
    }

    std::string v2() const {
        std::string tables;
        std::uint64_t accumulator = 0;
        int bits = 0;
        for (int f : frequencies()) {
            const auto [code, length] = frequencyCode(f);
            accumulator |= std::uint64_t{code} << bits;
            bits += length;
            while (bits >= 8) {
                tables += static_cast<char>(accumulator & 0xFF);
                accumulator >>= 8;
                bits -= 8;
            }
        }
        if (bits > 0)
            tables += static_cast<char>(accumulator & 0xFF);
        const std::uint64_t f0 =
            std::uint64_t{literalCount} | std::uint64_t{literalPayload.size()} << 20 |
            std::uint64_t{matchCount} << 40 | static_cast<std::uint64_t>(literalBits + 7) << 60;
        const std::uint64_t f1 =
            std::uint64_t{literalState[0]} | std::uint64_t{literalState[1]} << 10 |
            std::uint64_t{literalState[2]} << 20 | std::uint64_t{literalState[3]} << 30 |
            std::uint64_t{lmdPayload.size()} << 40 | static_cast<std::uint64_t>(lmdBits + 7) << 60;
        const std::uint64_t headerSize = 32 + tables.size() + headerSizeAdjustment;
        const std::uint64_t f2 = headerSize | std::uint64_t{lState} << 32 |
                                 std::uint64_t{mState} << 42 | std::uint64_t{dState} << 52;
        return "bvx2" + le(rawBytes, 4) + le(f0, 8) + le(f1, 8) + le(f2, 8) + tables +
               literalPayload + lmdPayload;
    }

    std::string v1() const {
        std::string header =
            "bvx1" + le(rawBytes, 4) + le(literalPayload.size() + lmdPayload.size(), 4) +
            le(literalCount, 4) + le(matchCount, 4) + le(literalPayload.size(), 4) +
            le(lmdPayload.size(), 4) + le(static_cast<std::uint32_t>(literalBits), 4);
        for (auto state : literalState)
            header += le(state, 2);
        header += le(static_cast<std::uint32_t>(lmdBits), 4) + le(lState, 2) + le(mState, 2) +
                  le(dState, 2);
        for (int f : frequencies())
            header += le(static_cast<std::uint64_t>(f), 2);
        header += std::string(2, '\0'); // struct padding
        return header + literalPayload + lmdPayload;
    }
};

// 48 literals from the table {a: 512, b: 512}: symbol a owns states 0..511 and
// b 512..1023, and each step reads one bit, so a state is a 10-bit shift
// register whose top bit is the literal. The first 40 literals come from the
// four initial states; literals 40..47 are the first eight bits read, the most
// significant bits of the payload's last byte (0xA6 = b a b a a b b a).
// One triple copies them: L is symbol 18 (base 28) with five extra bits 10100
// (L = 48), M and D are single-symbol tables reading nothing. The LMD stream
// has three bits of padding on top.
LZFSEBlock literalBlock() {
    LZFSEBlock block;
    block.rawBytes = 48;
    block.literalCount = 48;
    block.matchCount = 1;
    block.literalState = {401, 751, 554, 361};
    block.literalBits = 0;
    block.literalPayload = std::string(6, '\0') + "\xA6";
    block.lmdBits = -3;
    block.lmdPayload = std::string(7, '\0') + "\x14"; // 000 10100
    block.lFreq = {{18, 64}};
    block.mFreq = {{0, 64}};
    block.dFreq = {{1, 256}};
    block.literalFreq = {{'a', 512}, {'b', 512}};
    return block;
}
const std::string kLiteralBlockText = "abbabaabbbaaabababbbbaaaabbbabaaabbabbabbabaabba";

// Three triples over the literals "abbabbaa":
//   L table {0,1,2,5: 16 each}: a 6-bit register reading 2 bits, the literal
//     count is the top two bits (00 01 10 11 -> 0 1 2 5); start 0b110110.
//   M table {0..6: 1..7, 8: 36}: state 56 is M = 8 and reads no bits, going to
//     state 0; state 0 is M = 0 and reads six bits as the next state (56).
//   D table {0: 128, 4: 128}: an 8-bit register reading 1 bit; symbol 4 reads
//     one extra bit below it (4 + 1 = distance 5), symbol 0 repeats the distance.
// Bits read, L M D per triple: 00 - 01 | 00 111000 0 | 00 - 0.
//   (L5 M8 D5) "abbab" + 8 copied from 5 back
//   (L1 M0 D-) "b"
//   (L2 M8 D=) "aa" + 8 copied from 5 back
LZFSEBlock matchBlock() {
    LZFSEBlock block;
    block.rawBytes = 24;
    block.literalCount = 8;
    block.matchCount = 3;
    block.literalState = {256, 768, 512, 0}; // abbabbaa, two literals per stream
    block.literalBits = 0;
    block.literalPayload = std::string(7, '\0');
    block.lState = 0b110110;
    block.mState = 56;
    block.dState = 128;
    block.lmdBits = 0;
    block.lmdPayload = std::string(5, '\0') + "\x80\x13"; // 00010011 10000000 00
    block.lFreq = {{0, 16}, {1, 16}, {2, 16}, {5, 16}};
    block.mFreq = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {8, 36}};
    block.dFreq = {{0, 128}, {4, 128}};
    block.literalFreq = {{'a', 512}, {'b', 512}};
    return block;
}
const std::string kMatchBlockText = "abbababbababbbaabbbaabbb";

// The encoder writes a bit stream in as few bytes as its bits need, fewer than
// the decoder's first load of seven or eight bytes: here one byte of literal
// bits and two of L, M, D bits.
LZFSEBlock shortStreamsBlock() {
    LZFSEBlock block = matchBlock();
    block.literalPayload = std::string(1, '\0');
    block.lmdPayload = "\x80\x13";
    return block;
}

// Tables that one symbol owns entirely read no bits, so both streams are
// empty: four literals 'z', then L 4, M 15 at distance 1, a run of 19 bytes.
LZFSEBlock singleSymbolBlock() {
    LZFSEBlock block;
    block.rawBytes = 19;
    block.literalCount = 4;
    block.matchCount = 1;
    block.literalState = {0, 1023, 512, 7};
    block.lState = 63;
    block.mState = 0;
    block.dState = 255;
    block.lFreq = {{4, 64}};
    block.mFreq = {{15, 64}};
    block.dFreq = {{1, 256}};
    block.literalFreq = {{'z', 1024}};
    return block;
}

// Every LZVN instruction kind in one block.
std::string lzvnAllInstructions() {
    std::string p;
    p += "\xE0\x04"s + "abcdefghijklmnopqrst"; // 20 literals
    p += "\x08\x14"s;                          // small distance: L0 M4 D20
    p += "\x0E"s;                              // nop
    p += "\xB1\x2B\x00"s + "XY";               // medium distance: L2 M10 D10
    p += "\x47\x24\x00"s + "Z";                // large distance: L1 M3 D36
    p += "\x4E"s + "!";                        // previous distance: L1 M4
    p += "\xF2"s;                              // match M2
    p += "\x16"s;                              // nop
    p += "\xF0\x00"s;                          // match M16
    p += "\xE1-"s;                             // literal
    p += "\x38\x01"s;                          // small distance: L0 M10 D1, a run
    p += "\xA7\x1B\x01"s;                      // medium distance: L0 M34 D70
    p += kLZVNEnd;
    return p;
}
const std::string kLZVNText = "abcdefghijklmnopqrstabcdXYqrstabcdXYZbcd!fghijklmnopqrstabcdXYq-"
                              "----------efghijklmnopqrstabcdXYqrstabcdXYZb";

std::string repeatedAlphabet(std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i)
        text += static_cast<char>('a' + i % 26);
    return text;
}

struct Valid {
    const char* name;
    std::string stream;
    std::string expected;
};

std::vector<Valid> validStreams() {
    const std::string alphabet300 = repeatedAlphabet(300);
    return {
        {"empty", kEnd, ""},
        {"stored", stored("hello") + kEnd, "hello"},
        {"two stored blocks", stored("hel") + stored("") + stored("lo") + kEnd, "hello"},
        {"bytes after the end are ignored", stored("x") + kEnd + "garbage", "x"},
        {"lzvn literals",
         lzvn(3, "\xE3"
                 "abc"s +
                     kLZVNEnd) +
             kEnd,
         "abc"},
        {"lzvn every instruction", lzvn(kLZVNText.size(), lzvnAllInstructions()) + kEnd, kLZVNText},
        // A 16-bit distance reaching back into the previous block.
        {"lzvn match into the previous block",
         stored(alphabet300) + lzvn(5, "\x17\x2C\x01"s + kLZVNEnd) + kEnd, alphabet300 + "abcde"},
        {"lzfse v2 literals", literalBlock().v2() + kEnd, kLiteralBlockText},
        {"lzfse v2 matches", matchBlock().v2() + kEnd, kMatchBlockText},
        {"lzfse v1 matches", matchBlock().v1() + kEnd, kMatchBlockText},
        {"lzfse streams shorter than the first load", shortStreamsBlock().v2() + kEnd,
         kMatchBlockText},
        {"lzfse empty streams from single-symbol tables", singleSymbolBlock().v2() + kEnd,
         std::string(19, 'z')},
        {"mixed blocks",
         stored("<") + matchBlock().v2() +
             lzvn(3, "\xE3"
                     "xyz"s +
                         kLZVNEnd) +
             kEnd,
         "<" + kMatchBlockText + "xyz"},
    };
}

TEST(LZFSE, DecodesHandAssembledStreams) {
    for (const auto& test : validStreams()) {
        SCOPED_TRACE(test.name);
        const auto result = decompress(test.stream, kCap);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(*result, test.expected);
    }
}

TEST(LZFSE, RejectsDamagedStreams) {
    auto lzfse = [](auto change) {
        LZFSEBlock block = matchBlock();
        change(block);
        return block.v2() + kEnd;
    };
    const std::string abc = "\xE3"
                            "abc"s;
    const struct {
        const char* name;
        std::string stream;
    } cases[] = {
        {"empty input", ""},
        {"partial magic", "bvx"},
        {"no end marker", stored("hello")},
        {"unknown block", "bvxz" + le(0, 4) + kEnd},
        {"stored block longer than the input", "bvx-" + le(10, 4) + "short"},
        {"stored header cut short", "bvx-\x05"s},
        {"lzvn payload longer than the input", "bvxn" + le(3, 4) + le(50, 4) + abc},
        {"lzvn without end instruction", lzvn(3, abc) + kEnd},
        {"lzvn end instruction cut short", lzvn(3, abc + "\x06\0\0"s) + kEnd},
        {"lzvn bytes after the end instruction", lzvn(3, abc + kLZVNEnd + "x") + kEnd},
        {"lzvn produces fewer bytes than declared", lzvn(4, abc + kLZVNEnd) + kEnd},
        {"lzvn produces more bytes than declared", lzvn(2, abc + kLZVNEnd) + kEnd},
        {"lzvn undefined opcode 0x1E", lzvn(3, abc + "\x1E" + kLZVNEnd) + kEnd},
        {"lzvn undefined opcode 0x70", lzvn(3, abc + "\x70\x01" + kLZVNEnd) + kEnd},
        {"lzvn undefined opcode 0xD0", lzvn(3, abc + "\xD0\x01" + kLZVNEnd) + kEnd},
        {"lzvn literals beyond the payload", lzvn(5, "\xE5"
                                                     "ab"s) +
                                                 kEnd},
        {"lzvn distance beyond the output", lzvn(7, abc + "\x08\x04" + kLZVNEnd) + kEnd},
        {"lzvn distance zero", lzvn(7, abc + std::string("\x08\x00", 2) + kLZVNEnd) + kEnd},
        {"lzvn previous distance before any", lzvn(6, abc + "\x46" + kLZVNEnd) + kEnd},
        {"lzvn match before any distance", lzvn(5, abc + "\xF2" + kLZVNEnd) + kEnd},
        {"lzvn opcode cut short", lzvn(3, abc + "\x07\x01"s)},
        {"lzfse declares more bytes", lzfse([](LZFSEBlock& b) { b.rawBytes = 25; })},
        {"lzfse declares fewer bytes", lzfse([](LZFSEBlock& b) { b.rawBytes = 23; })},
        {"lzfse header size too small", lzfse([](LZFSEBlock& b) { b.headerSizeAdjustment = -1; })},
        {"lzfse header size too large", lzfse([](LZFSEBlock& b) { b.headerSizeAdjustment = 1; })},
        {"lzfse frequencies above the state count", lzfse([](LZFSEBlock& b) { b.lFreq[3] = 1; })},
        {"lzfse state owned by no symbol", lzfse([](LZFSEBlock& b) {
             b.dFreq = {{0, 128}, {4, 64}};
             b.dState = 200;
         })},
        // The decoder keeps its tables between blocks; a state past the second
        // block's frequencies must not reach an entry left from the first.
        {"lzfse state only the previous block's table owned",
         matchBlock().v2() + lzfse([](LZFSEBlock& b) {
             b.lFreq = {{0, 16}, {1, 16}, {2, 16}};
             b.lState = 0b110110;
         })},
        {"lzfse L state out of range", lzfse([](LZFSEBlock& b) { b.lState = 64; })},
        {"lzfse literal stream a bit short", lzfse([](LZFSEBlock& b) {
             b.literalBits = -1; // 7 bits for 8 literals of one bit each
             b.literalPayload = std::string(1, '\0');
         })},
        {"lzfse padding longer than the stream", lzfse([](LZFSEBlock& b) {
             b.lmdBits = -1;
             b.lmdPayload.clear();
         })},
        {"lzfse literal padding bits not zero", lzfse([](LZFSEBlock& b) {
             b.literalBits = -1;
             b.literalPayload = std::string(7, '\0') + "\x80";
         })},
        {"lzfse more literals used than decoded", lzfse([](LZFSEBlock& b) {
             b.literalCount = 4;
             b.literalState = {256, 768, 512, 0};
         })},
        {"lzfse distance beyond the output", lzfse([](LZFSEBlock& b) {
             b.lState = 0b100110; // first triple copies 2 literals, then distance 5
         })},
        {"lzfse matches outnumbering the output", lzfse([](LZFSEBlock& b) {
             b.rawBytes = 0;
             b.literalCount = 0;
             b.matchCount = 5;
         })},
        {"lzfse block cut short", matchBlock().v2().substr(0, 60)},
        {"lzfse v1 header cut short", matchBlock().v1().substr(0, 700)},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(decompress(test.stream, kCap), std::nullopt);
    }
}

TEST(LZFSE, OutputCapIsInclusive) {
    const struct {
        const char* name;
        std::string stream;
        std::size_t size;
    } cases[] = {
        {"stored", stored("0123456789") + kEnd, 10},
        {"stored over blocks", stored("01234") + stored("56789") + kEnd, 10},
        {"lzvn", lzvn(kLZVNText.size(), lzvnAllInstructions()) + kEnd, kLZVNText.size()},
        {"lzfse", matchBlock().v2() + kEnd, kMatchBlockText.size()},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const auto atCap = decompress(test.stream, test.size);
        ASSERT_TRUE(atCap.has_value());
        EXPECT_EQ(atCap->size(), test.size);
        EXPECT_EQ(decompress(test.stream, test.size - 1), std::nullopt);
    }
    EXPECT_EQ(decompress(stored("x") + kEnd, 0), std::nullopt);
    EXPECT_EQ(decompress(kEnd, 0), std::string());
}

// Every truncation and many single-byte changes of the valid streams: each must
// be decoded or rejected without reading outside the input (the sanitizers
// watch) and never beyond the cap.
TEST(LZFSE, SurvivesTruncationAndCorruption) {
    constexpr std::size_t cap = 4096;
    const std::array<std::uint8_t, 6> replacements = {0x00, 0xFF, 0x01, 0x80, 0x3F, 0xE0};
    for (const auto& test : validStreams()) {
        SCOPED_TRACE(test.name);
        for (std::size_t length = 0; length < test.stream.size(); ++length) {
            const auto result = decompress(std::string_view(test.stream).substr(0, length), cap);
            EXPECT_LE(result.value_or(std::string()).size(), cap);
        }
        for (std::size_t i = 0; i < test.stream.size(); ++i) {
            for (auto replacement : replacements) {
                std::string damaged = test.stream;
                damaged[i] = static_cast<char>(replacement ^ static_cast<std::uint8_t>(i));
                const auto result = decompress(damaged, cap);
                EXPECT_LE(result.value_or(std::string()).size(), cap);
            }
        }
    }
}

// Streams from the format's reference encoder, listed in MANIFEST.tsv with the
// size and SHA-256 of the bytes each must decode to. Among them are the runs
// and short repeated patterns whose tables one symbol (nearly) owns.
TEST(LZFSE, DecodesReferenceEncoderStreams) {
    const std::filesystem::path folder = std::filesystem::path(QUILLER_SHARED_TESTDATA) / "lzfse";
    const auto manifest = tarn::files::readFile(folder / "MANIFEST.tsv");
    ASSERT_TRUE(manifest.has_value()) << folder;
    const tarn::testing::TemporaryFolder scratch;
    std::istringstream lines(*manifest);
    std::size_t checked = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line.starts_with('#'))
            continue;
        std::istringstream fields(line);
        std::string name;
        std::size_t size = 0;
        std::string sha256;
        ASSERT_TRUE(std::getline(fields, name, '\t') && fields >> size >> sha256) << line;
        SCOPED_TRACE(name);
        const auto stream = tarn::files::readFile(folder / name);
        ASSERT_TRUE(stream.has_value());
        const auto decoded = decompress(*stream, kCap);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(decoded->size(), size);
        EXPECT_EQ(tarn::TarnChecksum::sha256(scratch.write(name, *decoded), 1 << 16), sha256);
        // A cap one byte short of the output refuses the stream.
        EXPECT_EQ(decompress(*stream, size - 1), std::nullopt);
        ++checked;
    }
    EXPECT_GT(checked, 0u) << "MANIFEST.tsv lists no stream";
}

} // namespace
