#include "data/data_pass_state.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "command/parse.h"

namespace ordena {

namespace {

void removeNamed(MString& name) {
    // "unassigned" is the placeholder some names carry before a file exists.
    if (!name.isEmpty() && name != "unassigned") std::remove(name.c_str());
    name = MString();
}

MString workingDirectory() {
    std::string buffer(4096, '\0');
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) return MString(".");
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return MString(buffer);
}

}  // namespace

void DataPassState::removeWorkFiles() {
    removeNamed(responseFile);
    removeNamed(caseInfoFile);
    removeNamed(identifierFile);
    removeNamed(modelFile);
    removeNamed(groupFile);
}

void DataPassState::clearOnReset() {
    removeWorkFiles();
    *this = DataPassState{};
}

MString scratchFileName(const MString& base) {
    MString stem = workingDirectory();
    if (stem.isEmpty() || stem.str().back() != '/') stem += "/";
    stem += base;
    for (long long n = 1;; ++n) {
        MString name = stem + itoMString(n);
        if (!fileExists(name)) return name;
    }
}

}  // namespace ordena
