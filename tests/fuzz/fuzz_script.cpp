// Arbitrary scripts through the statement reader and the executor as Run
// All runs them; a script that ran to its end and named a data file then
// gets the model build an estimate would start with.
#include <cstddef>
#include <cstdint>

#include "command/reader.h"
#include "fuzz_common_files.h"
#include "model/model_builder.h"

using namespace ordena;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::ScratchRun scratch;
    fuzz::writeCommonFiles();
    fuzz::FuzzShell shell;
    {
        Session session(shell);
        fuzz::guard(session);
        MString script(std::string(reinterpret_cast<const char*>(data), size));
        int rc = -1;
        try {
            rc = runAll(session, script);
        } catch (const FatalExit&) {
            // A fatal condition ends the program after its report, as in the
            // batch program; an unexplained end is a fault.
            if (shell.errors == 0) fuzz::broken();
            return 0;
        }
        if (rc != 1 && rc != -1) fuzz::broken();
        if (rc == 1 && !session.exitRequested && !session.ws.data.fileName.isEmpty()) {
            ShellScope scope(session);
            int built = buildModel(session);
            if (built != 1 && built != -1) fuzz::broken();
            if (built == -1 && shell.errors == 0) fuzz::broken();  // a failure always says why
        }
    }
    return 0;
}
