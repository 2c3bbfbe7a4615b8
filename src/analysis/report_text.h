// Small report pieces the analyses share: the date text of report headers,
// the page header and fixed-width report lines.
#pragma once

#include <ctime>
#include <vector>

#include "base/mstring.h"

namespace ordena {

class Session;
class TextFile;

// "Wed Jun  5 14:03 2024": the asctime layout without the seconds.
MString reportDate(const std::tm& when);
MString reportDateNow();

// The four header lines: form feed and 80 "=", title and date, the table
// title, 80 "=".
std::vector<MString> pageHeader(const MString& reportTitle, const MString& tableTitle, const MString& dateText);

// A report line of n blanks.
inline MString blankLine(int n) { return MString(n); }

// Writes lines without their trailing blanks, to the file when one is open.
void writeReportLines(Session& session, const std::vector<MString>& lines, TextFile* file);

}  // namespace ordena
