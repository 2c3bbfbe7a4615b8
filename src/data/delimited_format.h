// The format statement of a delimited data file: the same fields as for
// fixed columns, each naming its field by the header's name (the
// variable's own name, or name=header) or by its number, and responses by
// a list of names, numbers and ranges of either (q1-q24 runs from q1 to
// q24 in header order).
#pragma once

#include <vector>

#include "base/mstring.h"
#include "base/shell.h"
#include "data/data_layout.h"
#include "data/delimited_file.h"

namespace ordena {

// The missing-value codes a variable of a delimited file starts with:
// blank (an empty field), "." and "NA".
void setDelimitedMissingCodes(ExplicitVariable& v);

// Reads the argument text of a format statement for the delimited file
// fileName (whose header the names are looked up in) into a complete
// layout. Reports through shell and returns 1, or -1.
int parseDelimitedFormat(const MString& text, const MString& fileName, const DelimitedOptions& options,
                         DataLayout& layout, Shell& shell);

// Finds every field the layout names in the file's header as it is now
// (the file may have changed since the format statement) and checks the
// field numbers against the fields each line has. 1, or -1 after the report.
int resolveDelimitedFields(DataLayout& layout, const std::vector<MString>& header, int fieldCount, Shell& shell);

}  // namespace ordena
