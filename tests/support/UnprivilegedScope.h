#pragma once

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <stdexcept>
#include <sys/types.h>
#include <unistd.h>

namespace tarn::testing {

// Root ignores permission bits. When the tests run as root, this gives the
// folders to an unprivileged user and takes on that user's identity for the
// scope (the saved user id stays root, so it can be taken back). The change
// holds for every thread of the process; make the scope before the folder's
// contents, so that they belong to that user too.
class UnprivilegedScope {
public:
    explicit UnprivilegedScope(const std::filesystem::path& folder) : UnprivilegedScope({folder}) {}
    explicit UnprivilegedScope(std::initializer_list<std::filesystem::path> folders)
        : m_wasRoot(::geteuid() == 0) {
        if (!m_wasRoot)
            return;
        for (const std::filesystem::path& folder : folders) {
            if (::chown(folder.c_str(), kNobody, kNobody) != 0)
                throw std::runtime_error("could not hand over " + folder.string());
        }
        if (::setegid(kNobody) != 0 || ::seteuid(kNobody) != 0)
            throw std::runtime_error("could not drop privileges");
    }
    UnprivilegedScope(const UnprivilegedScope&) = delete;
    UnprivilegedScope& operator=(const UnprivilegedScope&) = delete;
    ~UnprivilegedScope() {
        if (m_wasRoot && (::seteuid(0) != 0 || ::setegid(0) != 0))
            std::abort();
    }

private:
    static constexpr uid_t kNobody = 65534;
    bool m_wasRoot;
};

} // namespace tarn::testing
