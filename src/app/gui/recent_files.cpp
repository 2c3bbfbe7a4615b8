#include "app/gui/recent_files.h"

#include <cstdlib>

#include "app/gui/ini_section.h"

namespace ordena::gui {

std::filesystem::path RecentFiles::settingsFile() {
    std::filesystem::path base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home != nullptr ? home : ".") / ".config";
    }
    return base / "ordena" / "ordena.ini";
}

void RecentFiles::load(const std::filesystem::path& file) {
    slots_ = {};
    for (const auto& [key, value] : readIniSection(file, section_)) {
        std::string k = key;
        for (char& c : k)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        for (int n = 0; n < kSlots; ++n) {
            // "---" is what a slot without a file was once written as.
            if (k == "file" + std::to_string(n + 1) && value != "---") slots_[static_cast<std::size_t>(n)] = value;
        }
    }
}

bool RecentFiles::save(const std::filesystem::path& file) const {
    IniEntries entries;
    for (int k = 0; k < kSlots; ++k)
        if (!slot(k).empty()) entries.emplace_back("File" + std::to_string(k + 1), slot(k));
    return writeIniSection(file, section_, entries);
}

void RecentFiles::add(const std::string& path) {
    if (path.empty()) return;
    int at = kSlots - 1;
    for (int k = 0; k < kSlots; ++k) {
        if (slots_[static_cast<std::size_t>(k)] == path) {
            at = k;
            break;
        }
    }
    for (int k = at; k > 0; --k) slots_[static_cast<std::size_t>(k)] = slots_[static_cast<std::size_t>(k - 1)];
    slots_[0] = path;
}

}  // namespace ordena::gui
