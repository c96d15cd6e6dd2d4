#pragma once

#include "TarnKit/Utilities/TarnBundle.h"

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

// Finds command-line tools by name. Reads the file system and $PATH: safe from
// any thread as long as nothing calls setenv meanwhile.
namespace tarn::TarnBinaryLocator {

// The folders tried after the caller's and before $PATH, in this order.
extern const std::vector<std::filesystem::path> wellKnownDirectories;

// The paths tried for `name`, in order: the bundle's resources ("bin/<name>",
// then "<name>") when it has a resource folder, each extra folder in the given
// order, wellKnownDirectories, then each non-empty piece of $PATH. Every path
// is "<folder>/<name>"; duplicates stay.
std::vector<std::filesystem::path>
candidates(std::string_view name, const TarnBundle& bundle,
           const std::vector<std::filesystem::path>& extraSearchDirectories);

// The first candidate that is a regular file (after following links) that we
// may execute, or nullopt. A folder is never taken, whatever its permissions.
std::optional<std::filesystem::path>
locate(std::string_view name, const TarnBundle& bundle = TarnBundle::main(),
       const std::vector<std::filesystem::path>& extraSearchDirectories = {});

// Whether `path` names a regular file we may execute.
bool isExecutableFile(const std::filesystem::path& path);

} // namespace tarn::TarnBinaryLocator
