#include "data/data_pass_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

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
    // The name is claimed by creating its file exclusively, so that runs
    // sharing a directory never share a work file: a number another run
    // holds (or a directory of that name) fails with EEXIST and the next is
    // tried. When the directory takes no file at all, the name is returned
    // and opening it reports the failure.
    for (long long n = 1;; ++n) {
        MString name = stem + itoMString(n);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) return name;
    }
}

}  // namespace ordena
