#include "app/gui/recent_files.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

namespace ordena::gui {

namespace {

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// The section name of a line "[name]", or empty when the line is none.
std::string sectionOf(const std::string& line) {
    const std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return std::string();
    return trim(t.substr(1, t.size() - 2));
}


std::vector<std::string> readLines(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

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
    bool inSection = false;
    for (const std::string& line : readLines(file)) {
        if (!sectionOf(line).empty()) {
            inSection = lower(sectionOf(line)) == lower(section_);
            continue;
        }
        if (!inSection) continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = lower(trim(line.substr(0, eq)));
        const std::string value = trim(line.substr(eq + 1));
        for (int k = 0; k < kSlots; ++k) {
            // "---" is what a slot without a file was once written as.
            if (key == "file" + std::to_string(k + 1) && value != "---")
                slots_[static_cast<std::size_t>(k)] = value;
        }
    }
}

bool RecentFiles::save(const std::filesystem::path& file) const {
    std::vector<std::string> out;
    bool inSection = false;
    bool written = false;
    auto writeSection = [&] {
        out.push_back("[" + section_ + "]");
        for (int k = 0; k < kSlots; ++k)
            if (!slot(k).empty()) out.push_back("File" + std::to_string(k + 1) + "=" + slot(k));
        written = true;
    };
    for (const std::string& line : readLines(file)) {
        if (!sectionOf(line).empty()) {
            inSection = lower(sectionOf(line)) == lower(section_);
            if (inSection) {
                if (!written) writeSection();
                continue;
            }
        }
        if (!inSection) out.push_back(line);
    }
    if (!written) {
        if (!out.empty() && !trim(out.back()).empty()) out.push_back(std::string());
        writeSection();
    }
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    // Written beside the file and renamed over it: a failed write loses nothing.
    const std::filesystem::path temporary = file.string() + ".new";
    {
        std::ofstream f(temporary, std::ios::binary | std::ios::trunc);
        for (const std::string& line : out) f << line << "\n";
        f.flush();
        if (!f) {
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, file, error);
    return !error;
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
