#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Utilities/TarnChecksum.h"
#include "support/TemporaryFolder.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace {

namespace fs = std::filesystem;
namespace checksum = tarn::TarnChecksum;

class TarnChecksumTest : public ::testing::Test {
protected:
    fs::path write(const std::string& name, const std::string& bytes) const {
        return m_temp.write(name, bytes);
    }

    const fs::path& folder() const { return m_temp.path(); }

private:
    tarn::testing::TemporaryFolder m_temp{"tarn-checksum"};
};

long errorCode(auto&& call) {
    try {
        call();
    } catch (const tarn::PlatformError& error) {
        EXPECT_EQ(error.domain(), "NSPOSIXErrorDomain");
        return error.code();
    }
    ADD_FAILURE() << "no error thrown";
    return 0;
}

TEST_F(TarnChecksumTest, Sha256OfKnownInputsAtEveryChunkSize) {
    const struct {
        const char* name;
        std::string bytes;
        const char* digest;
    } inputs[] = {
        {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"two blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"million", std::string(1'000'000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    const std::int64_t chunkSizes[] = {1, 3, 63, 64, 65, 4'096, 1 << 20, std::int64_t{1} << 40};
    for (const auto& input : inputs) {
        const fs::path file = write(input.name, input.bytes);
        for (const std::int64_t chunkSize : chunkSizes) {
            if (chunkSize == 1 && input.bytes.size() > 100'000)
                continue; // a million one-byte reads add nothing but time
            SCOPED_TRACE(std::string(input.name) + " in chunks of " + std::to_string(chunkSize));
            EXPECT_EQ(checksum::sha256(file, chunkSize), input.digest);
        }
    }
}

TEST_F(TarnChecksumTest, PartialFingerprintHashesSizeHeadAndTail) {
    // SHA-256 of the size as 8 little-endian bytes, the head and the tail.
    EXPECT_EQ(checksum::partialFingerprint(write("short", "abc"), 10),
              "ce91dc5eec0139adf091900d225971d6ad246a845bad791b5693a9d0d55dd391");
    EXPECT_EQ(checksum::partialFingerprint(write("overlap", "abcdef"), 4), // abcd + cdef
              "6d67e75d831e14e0ce90131d39483a3cea9b0a718d2e91bdce4faf8bd8d3b9e4");
    EXPECT_EQ(checksum::partialFingerprint(write("empty", ""), 4),
              "af5570f5a1810b7af78caf4bc70a660f0df51e42baf91d4de5b2328de0e83dfc");

    const std::string head(4'096, 'h');
    const std::string tail(4'096, 't');
    const auto a =
        checksum::partialFingerprint(write("a", head + std::string(10'000, 'x') + tail), 4'096);
    const auto b =
        checksum::partialFingerprint(write("b", head + std::string(10'000, 'y') + tail), 4'096);
    const auto longer = checksum::partialFingerprint(
        write("longer", head + std::string(10'001, 'x') + tail), 4'096);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, longer);
    // Large samples are read in pieces; the result is the same.
    EXPECT_EQ(checksum::partialFingerprint(write("huge sample", "abc"), std::int64_t{1} << 40),
              "ce91dc5eec0139adf091900d225971d6ad246a845bad791b5693a9d0d55dd391");
}

TEST_F(TarnChecksumTest, FailuresArePassedOn) {
    const fs::path missing = folder() / "missing";
    const fs::path file = write("file", "abc");
    EXPECT_EQ(errorCode([&] { checksum::sha256(missing, 64); }), ENOENT);
    EXPECT_EQ(errorCode([&] { checksum::partialFingerprint(missing, 64); }), ENOENT);
    EXPECT_EQ(errorCode([&] { checksum::sha256(folder(), 64); }), EISDIR);
    EXPECT_EQ(errorCode([&] { checksum::partialFingerprint(folder(), 64); }), EISDIR);
    EXPECT_EQ(errorCode([&] { checksum::sha256(file, 0); }), EINVAL);
    EXPECT_EQ(errorCode([&] { checksum::sha256(file, -1); }), EINVAL);
    EXPECT_EQ(errorCode([&] { checksum::partialFingerprint(file, 0); }), EINVAL);
}

} // namespace
