// The datafile and format statements.
#pragma once

#include "base/mstring.h"
#include "base/shell.h"
#include "data/data_layout.h"

namespace ordena {

class Session;

// Reads the argument text of a format statement into a complete layout.
// Reports through shell and returns 1, or -1 (layout then incomplete).
int parseFormat(const MString& text, DataLayout& layout, Shell& shell);

int datafileCommand(Session& session, const MString& arguments);
int formatCommand(Session& session, const MString& arguments);

}  // namespace ordena
