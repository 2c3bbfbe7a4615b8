// Numbers as text: printf-style formatting into a text (the fixed-format
// records of the export, log and generated files, and the engine's report
// lines), and the fixed-width fields of the report tables, which say
// "_BIG_" for a value that does not fit.
#pragma once

#include "base/mstring.h"

namespace ordena {

MString printFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// value formatted with "%W.Pf"; "_BIG_" when it does not fit, "_ERR_" when
// P > W. A width above 20 ends the program.
MString dtoMString(double value, const MString& format);

}  // namespace ordena
