// Files named by export and import, and the log file.
#pragma once

#include "base/mstring.h"
#include "base/textfile.h"

namespace ordena {

struct FileSpec {
    MString logFileName;  // empty: no log file
    MString importDesignFile;  // design matrix named by import; empty: the design comes from the model
    TextFile logFile;
};

}  // namespace ordena
