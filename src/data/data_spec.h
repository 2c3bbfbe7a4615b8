// What the data statements record: the data file, its layout and the
// response coding rules.
#pragma once

#include "base/mstring.h"

namespace ordena {

struct DataSpec {
    MString fileName;
};

}  // namespace ordena
