// One section of the settings file ordena.ini: read it, or write it while
// keeping the rest of the file as it is.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace ordena::gui {

using IniEntries = std::vector<std::pair<std::string, std::string>>;

// The keys and values of the section (matched without regard to letter
// case), in file order; empty when the file or section is missing.
IniEntries readIniSection(const std::filesystem::path& file, const std::string& section);

// Replaces the section by the entries (or adds it at the end), keeping
// every other line. Written beside the file and renamed over it, so a
// failed write loses nothing; false when it failed.
bool writeIniSection(const std::filesystem::path& file, const std::string& section, const IniEntries& entries);

}  // namespace ordena::gui
