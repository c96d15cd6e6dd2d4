#include "TarnKit/System/KeychainBackend.h"

#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <cerrno>

namespace tarn::detail {
namespace {

bool isValidName(std::string_view name) {
    return name.find('\0') == std::string_view::npos && text::isValidUTF8(name);
}

} // namespace

bool isValidKeychainAddress(std::string_view service, std::string_view account) {
    return isValidName(service) && isValidName(account);
}

void checkKeychainSave(std::string_view secret, std::string_view service,
                       std::string_view account) {
    // The keyring would cut names at a U+0000 and so address another item;
    // bytes that are not UTF-8 could not be read back as the text they were.
    if (!isValidKeychainAddress(service, account))
        throw PlatformError(kPOSIXErrorDomain, EINVAL,
                            "A keychain service or account must be UTF-8 text without U+0000");
    if (!text::isValidUTF8(secret))
        throw PlatformError(kPOSIXErrorDomain, EILSEQ, "A keychain secret must be UTF-8 text");
}

} // namespace tarn::detail
