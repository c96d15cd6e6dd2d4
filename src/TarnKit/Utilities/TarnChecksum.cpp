#include "TarnKit/Utilities/TarnChecksum.h"

#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/PlatformError.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <openssl/evp.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tarn::TarnChecksum {
namespace {

// Reads never ask for more than this at once, whatever the caller's chunk or
// sample size; the digest does not depend on how the bytes are split.
constexpr std::int64_t kLargestRead = 8 << 20;

[[noreturn]] void fail(int code, std::string_view action, const std::filesystem::path& file) {
    throwPOSIXError(code, "Could not " + std::string(action) + " \"" + file.string() + "\"");
}

// Closed in every case; an error while closing a file that was only read
// changes nothing.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::filesystem::path& file) : m_path(file) {
        do {
            m_fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        } while (m_fd < 0 && errno == EINTR);
        if (m_fd < 0)
            fail(errno, "open", file);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ~ReadOnlyFile() { ::close(m_fd); }

    // Up to `size` bytes; fewer only at the end of the file.
    std::size_t read(unsigned char* buffer, std::size_t size) {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t got = ::read(m_fd, buffer + done, size - done);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                fail(errno, "read", m_path);
            }
            if (got == 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

    void seek(std::int64_t offset) {
        if (::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) < 0)
            fail(errno, "seek in", m_path);
    }

private:
    std::filesystem::path m_path;
    int m_fd = -1;
};

struct DigestContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

class SHA256 {
public:
    SHA256() : m_context(EVP_MD_CTX_new()) {
        if (!m_context || EVP_DigestInit_ex(m_context.get(), EVP_sha256(), nullptr) != 1)
            throw std::runtime_error("SHA-256 is not available from OpenSSL");
    }

    void update(const unsigned char* bytes, std::size_t size) {
        if (size > 0 && EVP_DigestUpdate(m_context.get(), bytes, size) != 1)
            throw std::runtime_error("SHA-256 update failed");
    }

    std::string hexDigest() {
        std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
        unsigned int length = 0;
        if (EVP_DigestFinal_ex(m_context.get(), digest.data(), &length) != 1)
            throw std::runtime_error("SHA-256 final failed");
        static constexpr std::string_view kHex = "0123456789abcdef";
        std::string text;
        text.reserve(2 * length);
        for (unsigned int i = 0; i < length; ++i) {
            text += kHex[digest[i] >> 4];
            text += kHex[digest[i] & 0x0F];
        }
        return text;
    }

private:
    std::unique_ptr<EVP_MD_CTX, DigestContextFree> m_context;
};

void requirePositive(std::int64_t size, std::string_view what, const std::filesystem::path& file) {
    if (size <= 0) {
        std::string action = "checksum with a ";
        action += what;
        action += " of 0 or less";
        fail(EINVAL, action, file);
    }
}

// Feeds up to `count` bytes from the file's current position to the digest.
void feed(ReadOnlyFile& file, SHA256& digest, std::int64_t count,
          std::vector<unsigned char>& buffer) {
    while (count > 0) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(count, kLargestRead));
        buffer.resize(std::max(buffer.size(), want));
        const std::size_t got = file.read(buffer.data(), want);
        digest.update(buffer.data(), got);
        if (got < want)
            return; // end of file
        count -= static_cast<std::int64_t>(got);
    }
}

} // namespace

std::string sha256(const std::filesystem::path& file, std::int64_t chunkSize) {
    requirePositive(chunkSize, "chunk size", file);
    ReadOnlyFile input(file);
    SHA256 digest;
    std::vector<unsigned char> buffer(
        static_cast<std::size_t>(std::min<std::int64_t>(chunkSize, kLargestRead)));
    while (true) {
        const std::size_t got = input.read(buffer.data(), buffer.size());
        if (got == 0)
            break;
        digest.update(buffer.data(), got);
    }
    return digest.hexDigest();
}

std::string partialFingerprint(const std::filesystem::path& file, std::int64_t sampleBytes) {
    requirePositive(sampleBytes, "sample size", file);
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0)
        fail(errno, "read the attributes of", file);
    const std::int64_t size = status.st_size;

    ReadOnlyFile input(file);
    SHA256 digest;
    std::array<unsigned char, 8> sizeBytes{};
    for (std::size_t i = 0; i < sizeBytes.size(); ++i)
        sizeBytes[i] = static_cast<unsigned char>(static_cast<std::uint64_t>(size) >> (8 * i));
    digest.update(sizeBytes.data(), sizeBytes.size());

    std::vector<unsigned char> buffer;
    feed(input, digest, sampleBytes, buffer);
    if (size > sampleBytes) {
        input.seek(size - sampleBytes);
        feed(input, digest, sampleBytes, buffer);
    }
    return digest.hexDigest();
}

} // namespace tarn::TarnChecksum
