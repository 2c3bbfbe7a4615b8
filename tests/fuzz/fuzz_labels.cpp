// Arbitrary label files through the labels statement, with a layout whose
// variables the file may name.
#include <cstddef>
#include <cstdint>

#include "command/reader.h"
#include "fuzz_session.h"

using namespace ordena;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::ScratchRun scratch;
    fuzz::writeFile("in.lab", std::string_view(reinterpret_cast<const char*>(data), size));
    fuzz::writeFile("data.txt", "1 2 0101\n");
    fuzz::FuzzShell shell;
    Session session(shell);
    fuzz::guard(session);
    ShellScope scope(session);
    if (runScript(session, MString("datafile data.txt; format gender 1 rater 3 responses 5-8;")) != 1) fuzz::broken();
    const int errorsBefore = shell.errors;
    int rc = runScript(session, MString("labels << in.lab;"));
    if (rc != 1 && rc != -1) fuzz::broken();
    if (rc == -1 && shell.errors == errorsBefore) fuzz::broken();  // a failure always says why
    return 0;
}
