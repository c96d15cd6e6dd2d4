#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Decoder for LZFSE streams, the compression of the `.json.lzfse` language packs.
//
// A stream is a sequence of blocks, each opened by a four-byte magic: "bvx-"
// (stored bytes), "bvxn" (LZVN), "bvx1" and "bvx2" (LZFSE with finite-state
// entropy coding; "bvx2" packs its tables) and "bvx$" (end of stream). Bytes
// after the end marker are ignored.
//
// The input comes from files anyone can drop into a folder, so damaged input is
// expected: it is rejected, never read out of bounds, and the work done is
// bounded by the size of the input plus the output cap.
//
// Pure; safe to call from any thread.
namespace tarn::lzfse {

// The decompressed bytes, or nullopt when the stream is damaged, truncated, has
// no end marker, or would decompress to more than `maxOutputBytes` bytes.
std::optional<std::string> decompress(std::string_view compressed, std::size_t maxOutputBytes);

} // namespace tarn::lzfse
