// The lines of a text, without their line ends (LF or CR LF).
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace ordena::test {

inline std::vector<std::string> textLines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace ordena::test
