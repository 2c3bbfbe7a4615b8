// Files named by export and import, and the log file.
#pragma once

#include "base/mstring.h"
#include "base/textfile.h"

namespace ordena {

struct FileSpec {
    MString logFileName;  // empty: no log file
    MString importDesignFile;  // design matrix named by import; empty: the design comes from the model
    TextFile logFile;

    void closeLogFile() {
        logFile.close();
        logFileName = MString();
    }

    // A reset clears the names of the import and export files and closes
    // the log file, so that none is named any more.
    void clearOnReset() { closeLogFile(); }
};

}  // namespace ordena
