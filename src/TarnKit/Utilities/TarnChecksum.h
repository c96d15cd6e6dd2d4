#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// SHA-256 of files. Blocking file reads: call off the main thread. Failures
// (a missing or unreadable file, a failed read or seek) throw
// tarn::PlatformError with the domain "NSPOSIXErrorDomain" and the errno value;
// a size of 0 or less throws the same with EINVAL. Safe from any thread.
namespace tarn::TarnChecksum {

// The SHA-256 of the whole file, read `chunkSize` bytes at a time, as 64
// lower-case hexadecimal digits.
std::string sha256(const std::filesystem::path& file, std::int64_t chunkSize);

// A quick fingerprint from the file's size and two samples: the SHA-256 of the
// size (8 bytes, little-endian), the first `sampleBytes` bytes and, when the
// file is larger than that, its last `sampleBytes` bytes (which overlap the
// first when the file is shorter than two samples). Files that differ only
// between the samples have the same fingerprint.
std::string partialFingerprint(const std::filesystem::path& file, std::int64_t sampleBytes);

} // namespace tarn::TarnChecksum
