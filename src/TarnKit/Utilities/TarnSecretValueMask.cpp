#include "TarnKit/Utilities/TarnSecretValueMask.h"

#include "TarnKit/Platform/Numbers.h"

#include <algorithm>

namespace tarn {

namespace {

std::vector<TarnSecretValueMask::Replacement> withPlaceholder(std::vector<std::string> values) {
    std::vector<TarnSecretValueMask::Replacement> replacements;
    replacements.reserve(values.size());
    for (std::string& value : values)
        replacements.push_back({std::move(value), std::string(TarnSecretValueMask::kReplacement)});
    return replacements;
}

} // namespace

TarnSecretValueMask::TarnSecretValueMask(std::vector<std::string> values) {
    setReplacements(withPlaceholder(std::move(values)));
}

TarnSecretValueMask TarnSecretValueMask::replacing(std::vector<Replacement> replacements) {
    TarnSecretValueMask mask(std::vector<std::string>{});
    mask.setReplacements(std::move(replacements));
    return mask;
}

void TarnSecretValueMask::setReplacements(std::vector<Replacement> replacements) {
    std::erase_if(replacements,
                  [](const Replacement& r) { return r.value.size() < kMinimumValueBytes; });
    // Stable, so that of equal values the first given stays in front.
    std::stable_sort(replacements.begin(), replacements.end(),
                     [](const Replacement& a, const Replacement& b) { return a.value < b.value; });
    for (Replacement& r : replacements) {
        if (!m_values.empty() && m_values.back() == r.value)
            continue;
        m_values.push_back(std::move(r.value));
        m_replacements.push_back(std::move(r.replacement));
    }
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

std::pair<std::size_t, std::size_t> TarnSecretValueMask::longestMatch(std::string_view text,
                                                                      std::size_t start) const {
    std::pair<std::size_t, std::size_t> best{0, 0};
    if (!m_canStart[static_cast<unsigned char>(text[start])])
        return best;
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        const std::size_t end = matchEnd(text, start, m_values[i]);
        if (end > best.first)
            best = {end, i};
    }
    return best;
}

std::string TarnSecretValueMask::apply(std::string_view text) const {
    if (m_values.empty())
        return std::string(text);
    std::string result;
    result.reserve(text.size());
    std::size_t copied = 0;
    for (std::size_t at = 0; at < text.size();) {
        const auto [end, index] = longestMatch(text, at);
        if (end == 0) {
            ++at;
            continue;
        }
        result.append(text, copied, at - copied);
        result.append(m_replacements[index]);
        copied = end;
        at = end;
    }
    result.append(text, copied);
    return result;
}

bool TarnSecretValueMask::occursIn(std::string_view text) const {
    for (std::size_t at = 0; at < text.size() && !m_values.empty(); ++at) {
        if (longestMatch(text, at).first != 0)
            return true;
    }
    return false;
}

} // namespace tarn
