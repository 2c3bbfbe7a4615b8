// The datafile and format statements.
#pragma once

#include "base/mstring.h"
#include "base/shell.h"
#include "command/option_table.h"
#include "data/data_layout.h"
#include "data/delimited_file.h"

namespace ordena {

class Session;

// Reads the argument text of a format statement into a complete layout.
// Reports through shell and returns 1, or -1 (layout then incomplete).
int parseFormat(const MString& text, DataLayout& layout, Shell& shell);
// The steps after the fields, shared by both kinds of format: the implicit
// variables (the text after "!"), the item variable, the name checks, the
// case identifier, the variable names and the item level table.
int completeLayout(const MString& implicitPart, DataLayout& layout, Shell& shell);

// The options after "!" of the datafile statement.
const OptionTable<DelimitedOptions>& datafileOptionTable();

int datafileCommand(Session& session, const MString& arguments);
int formatCommand(Session& session, const MString& arguments);

}  // namespace ordena
