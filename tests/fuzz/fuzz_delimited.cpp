// Arbitrary delimited data files: the first byte picks the delimiter and
// whether there is a header; the rest is the file. The reader must either
// hand out lines of one field count or refuse the file with a message that
// names a line; then the file goes through the data passes and the model
// build under a format that names its fields by number.
#include <cstddef>
#include <cstdint>
#include <string>

#include "command/reader.h"
#include "data/delimited_file.h"
#include "fuzz_build_check.h"

using namespace ordena;

namespace {

const char* const kDelimiters[] = {"guess", "comma", "semicolon", "tab", "whitespace"};

const char* const kSetups[] = {
    "format pid 1 responses 2-4; model item;",
    "format responses 1-3 (a2); model item + item*step;",
    "format group 1 age 2 responses 3-6; regression age; group group; model item;",
};

void readerInvariants(const std::string& path, const DelimitedOptions& options) {
    DelimitedReader reader;
    if (reader.open(path, options) != 1) {
        if (reader.error().isEmpty()) fuzz::broken();
        return;
    }
    std::vector<std::string_view> fields;
    int got;
    while ((got = reader.next(fields)) == 1)
        if (static_cast<int>(fields.size()) != reader.fieldCount()) fuzz::broken();
    if (got < 0 && reader.error().isEmpty()) fuzz::broken();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    fuzz::ScratchRun scratch;
    fuzz::writeFile("data.csv", std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    const int delimiter = data[0] % 5;
    const bool header = (data[0] / 5) % 2 == 1;
    readerInvariants("data.csv", {true, static_cast<std::int32_t>(delimiter), header});

    fuzz::FuzzShell shell;
    Session session(shell);
    fuzz::guard(session);
    ShellScope scope(session);
    const std::string setup = std::string("datafile data.csv ! delimiter=") + kDelimiters[delimiter] +
                              (header ? ", header=yes; " : ", header=no; ") +
                              kSetups[(data[0] / 10) % (sizeof kSetups / sizeof kSetups[0])];
    const int errorsBefore = shell.errors;
    if (runScript(session, MString(setup)) != 1) {
        // A file the format cannot use (too few fields, a bad header) is refused with a report.
        if (shell.errors == errorsBefore) fuzz::broken();
        return 0;
    }
    fuzz::buildAndRead(session, shell, false);
    return 0;
}
