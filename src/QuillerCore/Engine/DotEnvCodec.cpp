#include "QuillerCore/Engine/DotEnvCodec.h"

#include "TarnKit/Platform/JSONCoding.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <map>
#include <optional>

// The reader walks bytes, not characters. Every character that has a meaning
// here ("=", "#", quotes, backslash, blanks, line ends) is ASCII and so never
// part of a longer UTF-8 sequence, and walking bytes keeps a combining mark
// after a quote or a backslash from gluing onto it: whatever export writes,
// parse reads back unchanged.

namespace quiller {
namespace {

using tarn::json::required;

constexpr std::string_view secretMarkers[] = {
    "SECRET",      "TOKEN", "PASSWORD", "PASSWD",     "API_KEY",     "APIKEY",
    "PRIVATE_KEY", "AUTH",  "BEARER",   "CREDENTIAL", "SIGNING_KEY", "DATABASE_URL",
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view droppingLeadingBlanks(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && isBlank(text[start]))
        ++start;
    return text.substr(start);
}

std::string_view trimmingBlanks(std::string_view text) {
    text = droppingLeadingBlanks(text);
    std::size_t end = text.size();
    while (end > 0 && isBlank(text[end - 1]))
        --end;
    return text.substr(0, end);
}

bool isValidKey(std::string_view key) {
    if (key.empty() || key.find('#') != std::string_view::npos)
        return false;
    for (const char32_t codePoint : tarn::text::decodeUTF8(key))
        if (tarn::text::isWhitespaceOrNewline(codePoint))
            return false;
    return true;
}

// Reads the lines of a text, moving on to the next line when a quoted value
// goes on past the end of one.
class LineCursor {
public:
    explicit LineCursor(std::string_view text) {
        std::size_t start = 0;
        while (true) {
            const std::size_t end = text.find('\n', start);
            m_lines.push_back(text.substr(start, end - start));
            if (end == std::string_view::npos)
                break;
            start = end + 1;
        }
    }

    std::optional<std::string_view> next() {
        if (m_next == m_lines.size())
            return std::nullopt;
        return m_lines[m_next++];
    }

private:
    std::vector<std::string_view> m_lines;
    std::size_t m_next = 0;
};

std::string readDoubleQuoted(std::string_view line, LineCursor& cursor) {
    std::string value;
    while (true) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (c == '"')
                return value;
            if (c != '\\') {
                value.push_back(c);
                continue;
            }
            if (i + 1 == line.size()) {
                value.push_back('\\');
                continue;
            }
            const char escaped = line[++i];
            switch (escaped) {
            case 'n':
                value.push_back('\n');
                break;
            case 'r':
                value.push_back('\r');
                break;
            case 't':
                value.push_back('\t');
                break;
            case '"':
            case '\\':
            case '$':
                value.push_back(escaped);
                break;
            default:
                value.push_back('\\');
                value.push_back(escaped);
                break;
            }
        }
        const std::optional<std::string_view> nextLine = cursor.next();
        if (!nextLine)
            return value;
        value.push_back('\n');
        line = *nextLine;
    }
}

std::string readSingleQuoted(std::string_view line, LineCursor& cursor) {
    std::string value;
    while (true) {
        const std::size_t close = line.find('\'');
        value.append(line.substr(0, close));
        if (close != std::string_view::npos)
            return value;
        const std::optional<std::string_view> nextLine = cursor.next();
        if (!nextLine)
            return value;
        value.push_back('\n');
        line = *nextLine;
    }
}

std::string readUnquoted(std::string_view text, bool afterBlank) {
    std::size_t end = 0;
    for (; end < text.size(); ++end) {
        if (text[end] == '#' && afterBlank)
            break;
        afterBlank = isBlank(text[end]);
    }
    return std::string(trimmingBlanks(text.substr(0, end)));
}

bool needsQuotes(std::string_view value) {
    return value.find_first_of(std::string_view(" \t\n\r#\"'\\$")) != std::string_view::npos;
}

std::string formatValue(std::string_view value) {
    if (!needsQuotes(value))
        return std::string(value);
    std::string quoted = "\"";
    for (const char c : value) {
        switch (c) {
        case '\\':
            quoted.append("\\\\");
            break;
        case '"':
            quoted.append("\\\"");
            break;
        case '\n':
            quoted.append("\\n");
            break;
        case '\r':
            quoted.append("\\r");
            break;
        case '\t':
            quoted.append("\\t");
            break;
        default:
            quoted.push_back(c);
            break;
        }
    }
    quoted.push_back('"');
    return quoted;
}

} // namespace

KeyValueRow DotEnvEntry::toKeyValueRow() const {
    return KeyValueRow{.key = key, .value = value, .isEnabled = true, .isSecret = isLikelySecret};
}

void to_json(nlohmann::json& json, const DotEnvEntry& entry) {
    json = nlohmann::json::object();
    json["key"] = entry.key;
    json["value"] = entry.value;
    json["isLikelySecret"] = entry.isLikelySecret;
}

void from_json(const nlohmann::json& json, DotEnvEntry& entry) {
    tarn::json::expectObject(json);
    entry = DotEnvEntry{
        .key = required<std::string>(json, "key"),
        .value = required<std::string>(json, "value"),
        .isLikelySecret = required<bool>(json, "isLikelySecret"),
    };
}

namespace DotEnvCodec {

bool isLikelySecretKey(std::string_view key) {
    const std::string name = tarn::text::uppercased(tarn::text::trimmingWhitespaceAndNewlines(key));
    if (name.empty())
        return false;
    for (const std::string_view marker : secretMarkers)
        if (name.find(marker) != std::string::npos)
            return true;
    return false;
}

std::vector<DotEnvEntry> parse(std::string_view text) {
    std::string normalized;
    normalized.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            normalized.push_back(text[i]);
            continue;
        }
        normalized.push_back('\n');
        if (i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
    }

    std::vector<DotEnvEntry> entries;
    std::map<std::string, std::size_t, std::less<>> positions;
    LineCursor cursor(normalized);
    while (const std::optional<std::string_view> nextLine = cursor.next()) {
        std::string_view line = droppingLeadingBlanks(*nextLine);
        if (line.empty() || line.front() == '#')
            continue;
        if (line.starts_with("export") && line.size() > 6 && isBlank(line[6]))
            line = droppingLeadingBlanks(line.substr(6));

        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view key = tarn::text::trimmingWhitespace(line.substr(0, equals));
        if (!isValidKey(key))
            continue;

        const std::string_view raw = line.substr(equals + 1);
        const std::string_view rest = droppingLeadingBlanks(raw);
        std::string value;
        if (rest.starts_with('"'))
            value = readDoubleQuoted(rest.substr(1), cursor);
        else if (rest.starts_with('\''))
            value = readSingleQuoted(rest.substr(1), cursor);
        else
            value = readUnquoted(rest, !raw.empty() && isBlank(raw.front()));

        DotEnvEntry entry{.key = std::string(key),
                          .value = std::move(value),
                          .isLikelySecret = isLikelySecretKey(key)};
        if (const auto found = positions.find(key); found != positions.end()) {
            entries[found->second] = std::move(entry);
        } else {
            positions.emplace(entry.key, entries.size());
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

std::string export_(const std::vector<KeyValueRow>& variables, bool maskSecrets) {
    std::string text;
    bool first = true;
    for (const KeyValueRow& row : variables) {
        const std::string_view key = tarn::text::trimmingWhitespaceAndNewlines(row.key);
        if (!row.isEnabled || key.empty())
            continue;
        if (!first)
            text.push_back('\n');
        first = false;
        text.append(key).push_back('=');
        text.append(formatValue(maskSecrets && row.isSecret ? redactedValue : row.value));
    }
    return text;
}

} // namespace DotEnvCodec
} // namespace quiller
