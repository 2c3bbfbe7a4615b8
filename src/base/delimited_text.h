// Tables for other programs (R's read.csv, Python's csv module): fields
// separated by commas, one header line, LF line ends, numbers at full
// precision, NA for a value that is not there.
#pragma once

#include <string_view>
#include <vector>

#include "base/mstring.h"

namespace ordena {

// The field as written: in double quotes (a quote doubled) when it holds a
// comma, a quote, a line end or blanks at either end; otherwise as it is.
MString csvField(std::string_view text);
// Ten significant digits, enough for every figure the reports print; NA
// for a value that is not finite.
MString csvNumber(double value);
// The fields joined by commas, ended by a line feed. The fields are
// written as they are (quote them with csvField first).
MString csvLine(const std::vector<MString>& fields);

}  // namespace ordena
