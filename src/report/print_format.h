// printf-style formatting into a text, for the fixed-format records of the
// export files and the log file.
#pragma once

#include "base/mstring.h"

namespace ordena {

MString printFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace ordena
