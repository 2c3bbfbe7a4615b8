#include "command/session_fixture.h"

#include <fstream>
#include <sstream>

namespace ordena::test {

void writeFile(const std::string& name, const std::string& content) {
    std::ofstream f(name, std::ios::binary);
    f << content;
}

std::string readFile(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

}  // namespace ordena::test
