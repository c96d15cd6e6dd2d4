#include "TarnKit/Platform/LZFSE.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tarn::lzfse {
namespace {

using Byte = std::uint8_t;

constexpr std::uint32_t magic(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<Byte>(a)) |
           static_cast<std::uint32_t>(static_cast<Byte>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<Byte>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<Byte>(d)) << 24;
}

constexpr std::uint32_t kEndOfStreamMagic = magic('b', 'v', 'x', '$');
constexpr std::uint32_t kStoredMagic = magic('b', 'v', 'x', '-');
constexpr std::uint32_t kLZVNMagic = magic('b', 'v', 'x', 'n');
constexpr std::uint32_t kLZFSEV1Magic = magic('b', 'v', 'x', '1');
constexpr std::uint32_t kLZFSEV2Magic = magic('b', 'v', 'x', '2');

// All multi-byte fields of the format are little-endian.
std::uint64_t loadLE(const Byte* p, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value |= static_cast<std::uint64_t>(p[i]) << (8 * i);
    return value;
}
std::uint32_t load32(const Byte* p) {
    return static_cast<std::uint32_t>(loadLE(p, 4));
}
std::uint16_t load16(const Byte* p) {
    return static_cast<std::uint16_t>(loadLE(p, 2));
}

std::uint64_t field(std::uint64_t packed, int offset, int width) {
    return (packed >> offset) & ((std::uint64_t{1} << width) - 1);
}

// Appends `length` bytes that start `distance` bytes before the end of `out`.
// A distance shorter than the length repeats a pattern (distance 1 is a run of
// one byte). Everything from `from` on has that period, so each copy may take
// all of it written so far: the chunks double and never overlap.
bool appendMatch(std::string& out, std::size_t distance, std::size_t length) {
    if (distance == 0 || distance > out.size())
        return false;
    const std::size_t from = out.size() - distance;
    std::size_t to = out.size();
    const std::size_t end = to + length;
    out.resize(end);
    char* data = out.data();
    while (to < end) {
        const std::size_t chunk = std::min(to - from, end - to);
        std::memcpy(data + to, data + from, chunk);
        to += chunk;
    }
    return true;
}

// Makes room for a block of `rawBytes` at once, so its matches land in place
// instead of the output growing (and being copied) step by step. The capacity
// at least doubles, for streams of many blocks, but never past `limit`, the
// most the output may hold; a damaged header can make it reserve no more.
void reserveBlock(std::string& out, std::size_t rawBytes, std::size_t limit) {
    const std::size_t needed = out.size() + rawBytes;
    if (needed > out.capacity())
        out.reserve(std::max(needed, std::min(2 * out.capacity(), limit)));
}

// --- LZVN ------------------------------------------------------------------------
//
// A byte stream of instructions, each an opcode with literal count L, match
// length M and match distance D packed into it and the bytes after it:
//   LLMMMDDD DDDDDDDD             small distance (11 bits), M 3..10
//   101LLMMM DDDDDDMM DDDDDDDD    medium distance (14 bits), M 3..34
//   LLMMM111 DDDDDDDD DDDDDDDD    large distance (16 bits, little-endian)
//   LLMMM110                      previous distance
//   1111MMMM / 11110000 MMMMMMMM  match only, previous distance (M 1..15 / 16..271)
//   1110LLLL / 11100000 LLLLLLLL  literals only (L 1..15 / 16..271)
//   00001110, 00010110            no operation
//   00000110 + 7 bytes            end of the block
// The L literal bytes follow the opcode; the match is copied after them.

enum class LZVNOp : std::uint8_t {
    smallDistance,
    mediumDistance,
    largeDistance,
    previousDistance,
    smallMatch,
    largeMatch,
    smallLiteral,
    largeLiteral,
    nop,
    endOfStream,
    undefined,
};

constexpr LZVNOp classify(Byte op) {
    if (op >= 0xF0)
        return op == 0xF0 ? LZVNOp::largeMatch : LZVNOp::smallMatch;
    if (op >= 0xE0)
        return op == 0xE0 ? LZVNOp::largeLiteral : LZVNOp::smallLiteral;
    if (op >= 0xD0)
        return LZVNOp::undefined;
    if (op >= 0xA0 && op < 0xC0)
        return LZVNOp::mediumDistance;
    if (op >= 0x70 && op < 0x80)
        return LZVNOp::undefined;
    switch (op & 7) {
    case 7:
        return LZVNOp::largeDistance;
    case 6:
        // With no literals, the "previous distance" slots carry the control codes.
        if (op == 0x06)
            return LZVNOp::endOfStream;
        if (op == 0x0E || op == 0x16)
            return LZVNOp::nop;
        return op < 0x40 ? LZVNOp::undefined : LZVNOp::previousDistance;
    default:
        return LZVNOp::smallDistance;
    }
}

constexpr std::size_t kLZVNEndOfStreamLength = 8;

// Decodes one LZVN block payload that must produce exactly `rawBytes` bytes and
// end with its end-of-stream instruction exactly at the end of the payload.
bool decodeLZVN(const Byte* payload, std::size_t size, std::size_t rawBytes, std::string& out) {
    const std::size_t blockEnd = out.size() + rawBytes;
    std::size_t pos = 0;
    std::size_t previousDistance = 0; // none yet: a match that needs one is damage
    while (pos < size) {
        const Byte op = payload[pos];
        const std::size_t available = size - pos;
        std::size_t opLength = 1;
        std::size_t literals = 0;
        std::size_t matchLength = 0;
        std::size_t distance = previousDistance;
        switch (classify(op)) {
        case LZVNOp::smallDistance:
            if (available < 2)
                return false;
            opLength = 2;
            literals = op >> 6;
            matchLength = ((op >> 3) & 7) + 3;
            distance = static_cast<std::size_t>(op & 7) << 8 | payload[pos + 1];
            break;
        case LZVNOp::mediumDistance:
            if (available < 3)
                return false;
            opLength = 3;
            literals = (op >> 3) & 3;
            matchLength = (static_cast<std::size_t>(op & 7) << 2 | (payload[pos + 1] & 3)) + 3;
            distance = static_cast<std::size_t>(payload[pos + 1] >> 2) |
                       static_cast<std::size_t>(payload[pos + 2]) << 6;
            break;
        case LZVNOp::largeDistance:
            if (available < 3)
                return false;
            opLength = 3;
            literals = op >> 6;
            matchLength = ((op >> 3) & 7) + 3;
            distance = load16(payload + pos + 1);
            break;
        case LZVNOp::previousDistance:
            literals = op >> 6;
            matchLength = ((op >> 3) & 7) + 3;
            break;
        case LZVNOp::smallMatch:
            matchLength = op & 0x0F;
            break;
        case LZVNOp::largeMatch:
            if (available < 2)
                return false;
            opLength = 2;
            matchLength = static_cast<std::size_t>(payload[pos + 1]) + 16;
            break;
        case LZVNOp::smallLiteral:
            literals = op & 0x0F;
            break;
        case LZVNOp::largeLiteral:
            if (available < 2)
                return false;
            opLength = 2;
            literals = static_cast<std::size_t>(payload[pos + 1]) + 16;
            break;
        case LZVNOp::nop:
            ++pos;
            continue;
        case LZVNOp::endOfStream:
            return available == kLZVNEndOfStreamLength && out.size() == blockEnd;
        case LZVNOp::undefined:
            return false;
        }
        if (available - opLength < literals || blockEnd - out.size() < literals + matchLength)
            return false;
        out.append(reinterpret_cast<const char*>(payload + pos + opLength), literals);
        pos += opLength + literals;
        if (matchLength > 0) {
            if (!appendMatch(out, distance, matchLength))
                return false;
            previousDistance = distance;
        }
    }
    return false; // no end-of-stream instruction
}

// --- LZFSE -----------------------------------------------------------------------
//
// A block holds literal bytes and (L, M, D) triples: copy L literals, then M
// bytes from D bytes back (D = 0 repeats the previous distance). Both are coded
// with finite-state entropy tables whose normalised frequencies are in the block
// header. Each bit stream is read backwards from its end, most significant bit
// first; the four literal streams are interleaved.

constexpr int kLSymbols = 20;
constexpr int kMSymbols = 20;
constexpr int kDSymbols = 64;
constexpr int kLiteralSymbols = 256;
constexpr int kLStates = 64;
constexpr int kMStates = 64;
constexpr int kDStates = 256;
constexpr int kLiteralStates = 1024;
constexpr int kFrequencyCount = kLSymbols + kMSymbols + kDSymbols + kLiteralSymbols;

constexpr std::array<Byte, kLSymbols> kLExtraBits = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                     0, 0, 0, 0, 0, 0, 2, 3, 5, 8};
constexpr std::array<std::uint32_t, kLSymbols> kLBase = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,
                                                         10, 11, 12, 13, 14, 15, 16, 20, 28, 60};
constexpr std::array<Byte, kMSymbols> kMExtraBits = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                     0, 0, 0, 0, 0, 0, 3, 5, 8, 11};
constexpr std::array<std::uint32_t, kMSymbols> kMBase = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,
                                                         10, 11, 12, 13, 14, 15, 16, 24, 56, 312};
// Distances: four symbols per extra-bit count from 0 to 15, each range
// starting where the previous one ends.
constexpr std::array<Byte, kDSymbols> kDExtraBits = [] {
    std::array<Byte, kDSymbols> bits{};
    for (int i = 0; i < kDSymbols; ++i)
        bits[static_cast<std::size_t>(i)] = static_cast<Byte>(i / 4);
    return bits;
}();
constexpr std::array<std::uint32_t, kDSymbols> kDBase = [] {
    std::array<std::uint32_t, kDSymbols> base{};
    for (std::size_t i = 1; i < base.size(); ++i)
        base[i] = base[i - 1] + (std::uint32_t{1} << kDExtraBits[i - 1]);
    return base;
}();
static_assert(kDBase[4] == 4 && kDBase[5] == 6 && kDBase[63] == 229372);

constexpr std::size_t kV1HeaderSize = 772; // the v1 header is a C struct with 4-byte alignment
constexpr std::size_t kV2FixedHeaderSize = 32;

struct LZFSEHeader {
    std::uint32_t rawBytes = 0;
    std::uint32_t literalCount = 0;
    std::uint32_t matchCount = 0;
    std::uint32_t literalPayloadBytes = 0;
    std::uint32_t lmdPayloadBytes = 0;
    int literalBits = 0;
    int lmdBits = 0;
    std::array<std::uint32_t, 4> literalState{};
    std::uint32_t lState = 0;
    std::uint32_t mState = 0;
    std::uint32_t dState = 0;
    std::size_t headerSize = 0;
    // L, M, D and literal frequencies, in that order.
    std::array<std::uint16_t, kFrequencyCount> frequencies{};
};

// The v2 header codes each frequency with a prefix code read from the least
// significant bit up: 2, 3 or 5 bits for 0..7, 8 bits for 8..23, 14 bits for
// 24..1047.
int frequencyValue(std::uint32_t bits, int& length) {
    static constexpr std::array<std::uint8_t, 32> kLengths = {2, 3, 2, 5, 2,  3, 2, 8, 2, 3, 2,
                                                              5, 2, 3, 2, 14, 2, 3, 2, 5, 2, 3,
                                                              2, 8, 2, 3, 2,  5, 2, 3, 2, 14};
    static constexpr std::array<std::int8_t, 32> kValues = {0, 2,  1, 4, 0,  3, 1, -1, 0, 2, 1,
                                                            5, 0,  3, 1, -1, 0, 2, 1,  6, 0, 3,
                                                            1, -1, 0, 2, 1,  7, 0, 3,  1, -1};
    const std::uint32_t low = bits & 31;
    length = kLengths[low];
    if (length == 8)
        return 8 + static_cast<int>((bits >> 4) & 0x0F);
    if (length == 14)
        return 24 + static_cast<int>((bits >> 4) & 0x3FF);
    return kValues[low];
}

bool decodeFrequencies(const Byte* p, const Byte* end, LZFSEHeader& header) {
    if (p == end)
        return true; // no tables: every frequency is 0
    std::uint32_t accumulator = 0;
    int available = 0;
    for (auto& frequency : header.frequencies) {
        while (p < end && available + 8 <= 32) {
            accumulator |= static_cast<std::uint32_t>(*p++) << available;
            available += 8;
        }
        int length = 0;
        frequency = static_cast<std::uint16_t>(frequencyValue(accumulator, length));
        if (length > available)
            return false;
        accumulator >>= length;
        available -= length;
    }
    // The tables fill the header exactly, up to the padding of the last byte.
    return p == end && available < 8;
}

bool parseV1Header(const Byte* p, std::size_t available, LZFSEHeader& header) {
    if (available < kV1HeaderSize)
        return false;
    header.headerSize = kV1HeaderSize;
    header.rawBytes = load32(p + 4);
    const std::uint32_t payloadBytes = load32(p + 8);
    header.literalCount = load32(p + 12);
    header.matchCount = load32(p + 16);
    header.literalPayloadBytes = load32(p + 20);
    header.lmdPayloadBytes = load32(p + 24);
    header.literalBits = static_cast<std::int32_t>(load32(p + 28));
    for (std::size_t i = 0; i < 4; ++i)
        header.literalState[i] = load16(p + 32 + 2 * i);
    header.lmdBits = static_cast<std::int32_t>(load32(p + 40));
    header.lState = load16(p + 44);
    header.mState = load16(p + 46);
    header.dState = load16(p + 48);
    for (std::size_t i = 0; i < header.frequencies.size(); ++i)
        header.frequencies[i] = load16(p + 50 + 2 * i);
    return std::uint64_t{header.literalPayloadBytes} + header.lmdPayloadBytes == payloadBytes;
}

bool parseV2Header(const Byte* p, std::size_t available, LZFSEHeader& header) {
    if (available < kV2FixedHeaderSize)
        return false;
    header.rawBytes = load32(p + 4);
    const std::uint64_t f0 = loadLE(p + 8, 8);
    const std::uint64_t f1 = loadLE(p + 16, 8);
    const std::uint64_t f2 = loadLE(p + 24, 8);
    header.literalCount = static_cast<std::uint32_t>(field(f0, 0, 20));
    header.literalPayloadBytes = static_cast<std::uint32_t>(field(f0, 20, 20));
    header.matchCount = static_cast<std::uint32_t>(field(f0, 40, 20));
    header.literalBits = static_cast<int>(field(f0, 60, 3)) - 7;
    for (std::size_t i = 0; i < 4; ++i)
        header.literalState[i] =
            static_cast<std::uint32_t>(field(f1, static_cast<int>(10 * i), 10));
    header.lmdPayloadBytes = static_cast<std::uint32_t>(field(f1, 40, 20));
    header.lmdBits = static_cast<int>(field(f1, 60, 3)) - 7;
    header.headerSize = static_cast<std::size_t>(field(f2, 0, 32));
    header.lState = static_cast<std::uint32_t>(field(f2, 32, 10));
    header.mState = static_cast<std::uint32_t>(field(f2, 42, 10));
    header.dState = static_cast<std::uint32_t>(field(f2, 52, 10));
    if (header.headerSize < kV2FixedHeaderSize || header.headerSize > available)
        return false;
    return decodeFrequencies(p + kV2FixedHeaderSize, p + header.headerSize, header);
}

// Reads a bit stream from its last byte towards its first. The most significant
// bits of the last byte may be padding, which must be zero.
class BackwardBitReader {
public:
    // `unusedBits` is the header's bit count, 0 or -n: the top n bits of the
    // last byte are padding, so the stream holds 8 * size - n bits. A stream
    // shorter than the first load is legitimate: the encoder emits as few bytes
    // as its bits need, down to none at all when every symbol costs zero bits
    // (a table one symbol owns entirely).
    bool start(const Byte* begin, const Byte* end, int unusedBits) {
        m_begin = begin;
        const auto size = static_cast<std::size_t>(end - begin);
        if (unusedBits < -8 || unusedBits > 0)
            return false;
        // Seven bytes without padding, eight with, keep m_available below 64.
        const std::size_t initialBytes = std::min<std::size_t>(size, unusedBits == 0 ? 7 : 8);
        const int bits = static_cast<int>(8 * initialBytes) + unusedBits;
        if (bits < 0)
            return false; // more padding than bytes
        m_next = end - initialBytes;
        m_accumulator = loadLE(m_next, initialBytes);
        m_available = static_cast<unsigned>(bits);
        return (m_accumulator >> m_available) == 0;
    }

    // The next `count` bits (at most 32) as a number, or false when the stream
    // has fewer left.
    bool pull(unsigned count, std::uint32_t& value) {
        if (m_available < count) {
            refill();
            if (m_available < count)
                return false;
        }
        m_available -= count;
        value = static_cast<std::uint32_t>(m_accumulator >> m_available);
        m_accumulator &= (std::uint64_t{1} << m_available) - 1;
        return true;
    }

private:
    void refill() {
        while (m_available + 8 <= 63 && m_next > m_begin) {
            --m_next;
            m_accumulator = m_accumulator << 8 | *m_next;
            m_available += 8;
        }
    }

    const Byte* m_begin = nullptr;
    const Byte* m_next = nullptr;
    std::uint64_t m_accumulator = 0;
    unsigned m_available = 0; // bits in m_accumulator; the bits above are zero
};

// One state of a decoding table. States are handed to the symbols in symbol
// order, a symbol of frequency f owning f consecutive states; from each state
// the next one is `delta` plus the next `stateBits` bits. Value tables (L, M, D)
// also read `valueBits` extra bits, below the state bits, added to `base`.
struct TableEntry {
    std::int32_t delta = 0;
    std::uint32_t base = 0; // the symbol, for literals
    Byte stateBits = 0;
    Byte valueBits = 0;
};

class DecodingTable {
public:
    bool build(const std::uint16_t* frequencies, int symbols, int states, const Byte* extraBits,
               const std::uint32_t* bases) {
        // Only the first m_used entries are ever read, so old ones need no reset.
        m_entries.resize(static_cast<std::size_t>(states));
        m_used = 0;
        const int statesZeros = std::countl_zero(static_cast<std::uint32_t>(states));
        for (int symbol = 0; symbol < symbols; ++symbol) {
            const int f = frequencies[symbol];
            if (f == 0)
                continue;
            if (f > states - m_used)
                return false; // the frequencies add up to more than the states
            // f << k lies in [states, 2 * states); the first j0 states of the
            // symbol read k bits, the others k - 1.
            const int k = std::countl_zero(static_cast<std::uint32_t>(f)) - statesZeros;
            const int j0 = ((2 * states) >> k) - f;
            TableEntry entry;
            entry.valueBits = extraBits ? extraBits[symbol] : 0;
            entry.base = bases ? bases[symbol] : static_cast<std::uint32_t>(symbol);
            for (int j = 0; j < f; ++j) {
                if (j < j0) {
                    entry.stateBits = static_cast<Byte>(k);
                    entry.delta = ((f + j) << k) - states;
                } else {
                    entry.stateBits = static_cast<Byte>(k - 1);
                    entry.delta = (j - j0) << (k - 1);
                }
                m_entries[static_cast<std::size_t>(m_used) + static_cast<std::size_t>(j)] = entry;
            }
            m_used += f;
        }
        return true;
    }

    // Decodes the symbol's value at `state` and moves to the next state. States
    // past the frequencies' sum belong to no symbol and mean damage.
    bool decode(std::uint32_t& state, BackwardBitReader& bits, std::uint32_t& value) const {
        if (state >= static_cast<std::uint32_t>(m_used))
            return false;
        const TableEntry& entry = m_entries[state];
        std::uint32_t read = 0;
        if (!bits.pull(static_cast<unsigned>(entry.stateBits) + entry.valueBits, read))
            return false;
        state = static_cast<std::uint32_t>(entry.delta) + (read >> entry.valueBits);
        value = entry.base + (read & ((std::uint32_t{1} << entry.valueBits) - 1));
        return true;
    }

private:
    std::vector<TableEntry> m_entries;
    int m_used = 0;
};

class LZFSEBlockDecoder {
public:
    // Decodes the block at `p` and reports how many input bytes it used.
    bool decode(std::uint32_t blockMagic, const Byte* p, std::size_t available,
                std::size_t outputRoom, std::string& out, std::size_t& used) {
        LZFSEHeader header;
        if (!(blockMagic == kLZFSEV1Magic ? parseV1Header(p, available, header)
                                          : parseV2Header(p, available, header)))
            return false;
        if (header.rawBytes > outputRoom)
            return false;
        // Every literal but the padding to a multiple of four, and every triple
        // but possibly a last empty one, produce output. Holding the counts to
        // that bounds the work per block by its output.
        if (header.literalCount > std::uint64_t{header.rawBytes} + 3 ||
            header.matchCount > std::uint64_t{header.rawBytes} + 1)
            return false;
        const std::uint64_t payloadBytes =
            std::uint64_t{header.literalPayloadBytes} + header.lmdPayloadBytes;
        if (payloadBytes > available - header.headerSize)
            return false;
        const std::uint16_t* f = header.frequencies.data();
        if (header.matchCount > 0 &&
            (!m_l.build(f, kLSymbols, kLStates, kLExtraBits.data(), kLBase.data()) ||
             !m_m.build(f + kLSymbols, kMSymbols, kMStates, kMExtraBits.data(), kMBase.data()) ||
             !m_d.build(f + kLSymbols + kMSymbols, kDSymbols, kDStates, kDExtraBits.data(),
                        kDBase.data())))
            return false;
        if (header.literalCount > 0 &&
            !m_literal.build(f + kLSymbols + kMSymbols + kDSymbols, kLiteralSymbols, kLiteralStates,
                             nullptr, nullptr))
            return false;

        reserveBlock(out, header.rawBytes, out.size() + outputRoom);
        const Byte* literalBegin = p + header.headerSize;
        const Byte* lmdBegin = literalBegin + header.literalPayloadBytes;
        if (!decodeLiterals(header, literalBegin, lmdBegin))
            return false;
        if (!decodeTriples(header, lmdBegin, lmdBegin + header.lmdPayloadBytes, out))
            return false;
        used = header.headerSize + static_cast<std::size_t>(payloadBytes);
        return true;
    }

private:
    bool decodeLiterals(const LZFSEHeader& header, const Byte* begin, const Byte* end) {
        // The four interleaved streams take turns, so whole rounds are decoded.
        m_literals.resize((static_cast<std::size_t>(header.literalCount) + 3) & ~std::size_t{3});
        if (m_literals.empty())
            return true;
        BackwardBitReader bits;
        if (!bits.start(begin, end, header.literalBits))
            return false;
        std::array<std::uint32_t, 4> states = header.literalState;
        for (std::size_t i = 0; i < m_literals.size(); ++i) {
            std::uint32_t symbol = 0;
            if (!m_literal.decode(states[i & 3], bits, symbol))
                return false;
            m_literals[i] = static_cast<char>(symbol);
        }
        return true;
    }

    bool decodeTriples(const LZFSEHeader& header, const Byte* begin, const Byte* end,
                       std::string& out) const {
        const std::size_t blockEnd = out.size() + header.rawBytes;
        if (header.matchCount > 0) {
            BackwardBitReader bits;
            if (!bits.start(begin, end, header.lmdBits))
                return false;
            std::uint32_t lState = header.lState;
            std::uint32_t mState = header.mState;
            std::uint32_t dState = header.dState;
            std::size_t distance = 0; // none yet
            std::size_t literalPos = 0;
            for (std::uint32_t i = 0; i < header.matchCount; ++i) {
                std::uint32_t l = 0;
                std::uint32_t m = 0;
                std::uint32_t d = 0;
                if (!m_l.decode(lState, bits, l) || !m_m.decode(mState, bits, m) ||
                    !m_d.decode(dState, bits, d))
                    return false;
                if (d != 0)
                    distance = d;
                if (m_literals.size() - literalPos < l ||
                    blockEnd - out.size() < std::size_t{l} + m)
                    return false;
                out.append(m_literals, literalPos, l);
                literalPos += l;
                if (m > 0 && !appendMatch(out, distance, m))
                    return false;
            }
        }
        return out.size() == blockEnd;
    }

    DecodingTable m_l;
    DecodingTable m_m;
    DecodingTable m_d;
    DecodingTable m_literal;
    std::string m_literals;
};

} // namespace

std::optional<std::string> decompress(std::string_view compressed, std::size_t maxOutputBytes) {
    const auto* input = reinterpret_cast<const Byte*>(compressed.data());
    const std::size_t size = compressed.size();
    std::string out;
    LZFSEBlockDecoder lzfseDecoder;
    std::size_t pos = 0;
    // Every block takes at least eight bytes of input, so the loop ends.
    while (true) {
        const std::size_t available = size - pos;
        if (available < 4)
            return std::nullopt;
        const Byte* block = input + pos;
        const std::uint32_t blockMagic = load32(block);
        const std::size_t room = maxOutputBytes - out.size();
        switch (blockMagic) {
        case kEndOfStreamMagic:
            return out;
        case kStoredMagic: {
            if (available < 8)
                return std::nullopt;
            const std::uint32_t rawBytes = load32(block + 4);
            if (rawBytes > room || rawBytes > available - 8)
                return std::nullopt;
            out.append(reinterpret_cast<const char*>(block + 8), rawBytes);
            pos += 8 + std::size_t{rawBytes};
            break;
        }
        case kLZVNMagic: {
            if (available < 12)
                return std::nullopt;
            const std::uint32_t rawBytes = load32(block + 4);
            const std::uint32_t payloadBytes = load32(block + 8);
            if (rawBytes > room || payloadBytes > available - 12)
                return std::nullopt;
            reserveBlock(out, rawBytes, maxOutputBytes);
            if (!decodeLZVN(block + 12, payloadBytes, rawBytes, out))
                return std::nullopt;
            pos += 12 + std::size_t{payloadBytes};
            break;
        }
        case kLZFSEV1Magic:
        case kLZFSEV2Magic: {
            std::size_t used = 0;
            if (!lzfseDecoder.decode(blockMagic, block, available, room, out, used))
                return std::nullopt;
            pos += used;
            break;
        }
        default:
            return std::nullopt;
        }
    }
}

} // namespace tarn::lzfse
