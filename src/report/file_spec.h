// Files named by export and import, and the log file.
#pragma once

#include "base/mstring.h"
#include "base/textfile.h"

namespace ordena {

struct FileSpec {
    MString logFileName;  // empty: no log file
    MString importDesignFile;  // design matrix named by import; empty: the design comes from the model
    TextFile logFile;

    // The ">>" target of the last estimate statement (and of the reporting
    // statements that consult it) and whether it is in force.
    MString outputFileName;
    bool outputRedirected = false;

    void closeLogFile() {
        logFile.close();
        logFileName = MString();
    }

    // A reset clears the names of the import and export files and closes
    // the log file, so that none is named any more.
    void clearOnReset() { closeLogFile(); }
};

}  // namespace ordena
