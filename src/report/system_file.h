// System files: put saves the whole workspace (specification, estimation
// results, case estimates, design matrices, background data and the item
// responses of the work files) in one binary file; get restores it, so that
// work goes on later, elsewhere, without the data file.
#pragma once

#include "base/mstring.h"

namespace ordena {

class Session;

// put >> file. 1, or -1 after the report; a failed put leaves any earlier
// file of that name as it was.
int putCommand(Session& session, const MString& arguments);
// get << file. 1, or -1 after the report; the workspace changes only when
// the whole file was read and found sound.
int getCommand(Session& session, const MString& arguments);

// The date the program was built: three-letter English month, day and
// year separated by blanks ("Dec 9 2026").
MString buildDateText();

}  // namespace ordena
