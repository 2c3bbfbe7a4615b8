// Files named by export and import, and the log file.
#pragma once

#include <array>

#include "base/mstring.h"
#include "base/textfile.h"

namespace ordena {

// The import kinds that fill the anchor list, in the order of the anchor
// kinds (anchor item parameters 0 ... initial covariances 5).
inline constexpr int kImportKinds = 6;

struct FileSpec {
    MString logFileName;  // empty: no log file
    MString importDesignFile;  // design matrix named by import; empty: the design comes from the model
    TextFile logFile;

    // The ">>" target of the last estimate statement (and of the reporting
    // statements that consult it) and whether it is in force.
    MString outputFileName;
    bool outputRedirected = false;

    // Export targets; empty: not written.
    MString parameterFile;
    MString designMatrixFile;
    MString regressionFile;
    MString covarianceFile;
    MString scoredDataFile;

    // The file last imported for each anchor kind; empty after a failed import.
    std::array<MString, kImportKinds> importFiles;

    void closeLogFile() {
        logFile.close();
        logFileName = MString();
    }

    // A reset clears the names of the import and export files and closes
    // the log file, so that none is named any more.
    void clearOnReset() {
        closeLogFile();
        importDesignFile = MString();
        parameterFile = MString();
        designMatrixFile = MString();
        regressionFile = MString();
        covarianceFile = MString();
        scoredDataFile = MString();
        for (MString& name : importFiles) name = MString();
    }
};

}  // namespace ordena
