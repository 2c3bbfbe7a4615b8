// A list of recently used files, most recent first, kept in a section of
// the settings file ordena.ini in the user's configuration directory: the
// main window's in "Recent File List", keys File1 to File4.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <utility>

namespace ordena::gui {

class RecentFiles {
public:
    static constexpr int kSlots = 4;

    explicit RecentFiles(std::string section = "Recent File List") : section_(std::move(section)) {}

    // $XDG_CONFIG_HOME/ordena/ordena.ini, else ~/.config/ordena/ordena.ini.
    static std::filesystem::path settingsFile();

    // Reads the list; a missing file or entry leaves its slots empty.
    void load(const std::filesystem::path& file);
    // Writes the list into the file's section, keeping the rest of the file.
    // False when the file could not be written.
    bool save(const std::filesystem::path& file) const;

    // The path takes the first slot; the slots above its old place (all of
    // them when it was not in the list) move down one.
    void add(const std::string& path);

    // The path in a slot, empty for a slot without a file.
    const std::string& slot(int k) const { return slots_[static_cast<std::size_t>(k)]; }

private:
    std::string section_;
    std::array<std::string, kSlots> slots_;
};

}  // namespace ordena::gui
