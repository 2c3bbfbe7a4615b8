#include "app/gui/ini_section.h"

#include <fstream>
#include <system_error>

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

IniEntries readIniSection(const std::filesystem::path& file, const std::string& section) {
    IniEntries entries;
    bool inSection = false;
    for (const std::string& line : readLines(file)) {
        if (!sectionOf(line).empty()) {
            inSection = lower(sectionOf(line)) == lower(section);
            continue;
        }
        if (!inSection) continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        entries.emplace_back(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
    }
    return entries;
}

bool writeIniSection(const std::filesystem::path& file, const std::string& section, const IniEntries& entries) {
    std::vector<std::string> out;
    bool inSection = false;
    bool written = false;
    auto writeSection = [&] {
        out.push_back("[" + section + "]");
        for (const auto& [key, value] : entries) out.push_back(key + "=" + value);
        written = true;
    };
    for (const std::string& line : readLines(file)) {
        if (!sectionOf(line).empty()) {
            inSection = lower(sectionOf(line)) == lower(section);
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

}  // namespace ordena::gui

