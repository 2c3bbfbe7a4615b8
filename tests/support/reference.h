// The reference results: one name and its values per line.
#pragma once

#include <exception>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace ordena::test {

inline std::map<std::string, std::vector<double>> readReference(const std::string& path) {
    std::map<std::string, std::vector<double>> values;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string name;
        if (!(s >> name)) continue;
        double v;
        while (s >> v) values[name].push_back(v);
    }
    return values;
}

// The numbers of every line of a text, in order; a line with a field that
// is not a number gives an empty row.
inline std::vector<std::vector<double>> numberRows(const std::string& text) {
    std::vector<std::vector<double>> rows;
    std::istringstream in(text);
    std::string line, field;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<double> row;
        while (fields >> field) {
            std::size_t used = 0;
            try {
                row.push_back(std::stod(field, &used));
            } catch (const std::exception&) {
                used = 0;
            }
            if (used != field.size()) {
                row.clear();
                break;
            }
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace ordena::test
