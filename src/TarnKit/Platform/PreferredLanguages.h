#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The user's preferred languages as the system reports them, as BCP 47 tags in
// order of preference ("de-AT", "fr"). Safe from any thread, as long as no
// other thread changes the environment at the same time.
namespace tarn {

// Reads a variable of the environment; nullopt when it is unset.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// The entries of LANGUAGE (a colon-separated list), then LC_ALL, LC_MESSAGES
// and LANG, each turned into a tag by languageTagFromLocaleName. Names that give
// no tag are skipped and a tag already listed is not repeated.
std::vector<std::string> preferredLanguages();
std::vector<std::string> preferredLanguages(const EnvironmentLookup& environment);

// "de_AT.UTF-8@euro" gives "de-AT": the codeset (from ".") and the modifier
// (from "@") are dropped and "_" becomes "-". Empty names, "C" and "POSIX"
// (which choose no language) give nullopt.
std::optional<std::string> languageTagFromLocaleName(std::string_view localeName);

} // namespace tarn
