#include "TarnKit/Platform/PlatformError.h"

#include "TarnKit/Platform/Numbers.h"

#include <cstring>

namespace tarn {

std::string posixErrorText(int code) {
    // Not strerror: it follows LC_MESSAGES.
    if (const char* text = ::strerrordesc_np(code))
        return text;
    return "error " + numbers::formatInteger(code);
}

void throwPOSIXError(int code, std::string_view context) {
    std::string description(context);
    if (!description.empty())
        description += ": ";
    description += posixErrorText(code);
    throw PlatformError(kPOSIXErrorDomain, code, description);
}

} // namespace tarn
