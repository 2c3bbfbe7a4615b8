// Small parsing helpers shared by every statement handler.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/mstring.h"

namespace ordena {

class Session;
class TextFile;

// From start, skips delimiter characters, then takes the longest run of
// non-delimiters. Returns 1 with the run and the indices of its first and
// last characters, or -1 (empty token, indices -1) when nothing follows.
int firstToken(const MString& text, int start, const MString& delimiters, MString& token, int& first, int& last);

// Case-folded unambiguous-prefix match of word against a table of lowercase
// keywords. Returns the index, or -1 after an error report (unknown or
// ambiguous).
int matchKeyword(const MString& word, const char* const* table, int entries);
int matchKeyword(const MString& word, const std::vector<MString>& table);
int matchKeyword(const MString& word, const std::vector<std::string_view>& table);
// The same match without a report: the index, kNoKeyword or kAmbiguousKeyword.
inline constexpr int kNoKeyword = -1;
inline constexpr int kAmbiguousKeyword = -2;
int findKeyword(const MString& word, const char* const* table, int entries);

struct SplitStatement {
    MString arguments;
    MString options;   // text after "!"
    MString file;      // text after ">>" (or "<<" for splitArgumentsIn)
};

SplitStatement splitArguments(const MString& text);
SplitStatement splitArgumentsIn(const MString& text);

// Values separated by commas and blanks; a value beginning with a double
// quote runs to the next double quote. Returns 1, or -1 after an error
// report (values collected so far stay in the list).
int splitValueList(const MString& text, std::vector<MString>& values);

// The pieces of text between the separators, as they stand (n separators
// give n + 1 pieces; an empty text gives one empty piece).
std::vector<MString> splitAt(const MString& text, char separator);

// True when the file can be opened for reading.
bool fileExists(const MString& name);

// False only when the file exists and the user answers Cancel to the
// question whether to replace it (asked only while warnings are on).
bool confirmOverwrite(Session& session, const MString& name);

// Writes text to the open file given, or to the output pane when there is
// none. Once a write to the file has failed, nothing more is written: the
// rest of a report must not land in the pane (closing the file reports the
// failure).
void printText(Session& session, const MString& text, TextFile* file = nullptr);
// Each line followed by the line end of its destination: LF in a file,
// CR LF in the output pane.
void printLines(Session& session, const std::vector<MString>& lines, TextFile* file = nullptr);

}  // namespace ordena
