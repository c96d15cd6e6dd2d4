#include "TarnKit/Utilities/TarnSecretValueMask.h"

#include "TarnKit/Platform/Numbers.h"

#include <algorithm>

namespace tarn {

TarnSecretValueMask::TarnSecretValueMask(std::vector<std::string> values) {
    std::erase_if(values,
                  [](const std::string& value) { return value.size() < kMinimumValueBytes; });
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    m_values = std::move(values);
    for (const std::string& value : m_values) {
        m_canStart[static_cast<unsigned char>(value.front())] = true;
        m_canStart['%'] = true;
        if (value.front() == ' ')
            m_canStart['+'] = true;
    }
}

std::size_t TarnSecretValueMask::matchEnd(std::string_view text, std::size_t start,
                                          std::string_view value) {
    std::size_t at = start;
    for (const char wanted : value) {
        if (at >= text.size())
            return 0;
        const char c = text[at];
        // The escape is tried first: for a value holding "%" itself, "%25" is
        // its encoded form, while "%" followed by other text is the raw one.
        if (c == '%' && at + 2 < text.size()) {
            const int high = numbers::hexDigitValue(text[at + 1]);
            const int low = numbers::hexDigitValue(text[at + 2]);
            if (high >= 0 && low >= 0 &&
                static_cast<unsigned char>(high * 16 + low) == static_cast<unsigned char>(wanted)) {
                at += 3;
                continue;
            }
        }
        if (c == wanted || (wanted == ' ' && c == '+')) {
            ++at;
            continue;
        }
        return 0;
    }
    return at;
}

std::string TarnSecretValueMask::apply(std::string_view text) const {
    if (m_values.empty())
        return std::string(text);
    std::string result;
    result.reserve(text.size());
    std::size_t copied = 0;
    for (std::size_t at = 0; at < text.size();) {
        if (!m_canStart[static_cast<unsigned char>(text[at])]) {
            ++at;
            continue;
        }
        std::size_t end = 0;
        for (const std::string& value : m_values)
            end = std::max(end, matchEnd(text, at, value));
        if (end == 0) {
            ++at;
            continue;
        }
        result.append(text, copied, at - copied);
        result.append(kReplacement);
        copied = end;
        at = end;
    }
    result.append(text, copied);
    return result;
}

} // namespace tarn
