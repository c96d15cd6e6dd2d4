#include "QuillerCore/Models/SharedText.h"

#include <ostream>

namespace quiller {

SharedText::SharedText(std::string text)
    : m_text(std::make_shared<const std::string>(std::move(text))) {}

const std::string& SharedText::emptyText() {
    static const std::string none;
    return none;
}

std::ostream& operator<<(std::ostream& stream, const SharedText& text) {
    return stream << text.str();
}

} // namespace quiller
