#include "TarnKit/Platform/PreferredLanguages.h"

#include <algorithm>
#include <cstdlib>

namespace tarn {

std::optional<std::string> languageTagFromLocaleName(std::string_view localeName) {
    const std::size_t end = localeName.find_first_of(".@");
    std::string tag(localeName.substr(0, end));
    if (tag.empty() || tag == "C" || tag == "POSIX")
        return std::nullopt;
    std::replace(tag.begin(), tag.end(), '_', '-');
    return tag;
}

std::vector<std::string> preferredLanguages(const EnvironmentLookup& environment) {
    std::vector<std::string> tags;
    const auto add = [&tags](std::string_view localeName) {
        std::optional<std::string> tag = languageTagFromLocaleName(localeName);
        if (tag && std::find(tags.begin(), tags.end(), *tag) == tags.end())
            tags.push_back(std::move(*tag));
    };
    if (const std::optional<std::string> list = environment("LANGUAGE")) {
        std::string_view rest = *list;
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            add(rest.substr(0, colon));
            if (colon == std::string_view::npos)
                break;
            rest.remove_prefix(colon + 1);
        }
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const std::optional<std::string> value = environment(name))
            add(*value);
    }
    return tags;
}

std::vector<std::string> preferredLanguages() {
    return preferredLanguages([](const char* name) -> std::optional<std::string> {
        if (const char* value = std::getenv(name))
            return std::string(value);
        return std::nullopt;
    });
}

} // namespace tarn
