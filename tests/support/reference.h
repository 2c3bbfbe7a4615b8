// The reference results: one name and its values per line.
#pragma once

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

}  // namespace ordena::test
