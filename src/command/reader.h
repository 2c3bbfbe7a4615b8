// The statement reader and the command executor: a script is preprocessed
// as a whole (comments, dofor loops, line breaks, tokens) and then run one
// statement at a time. All return 1 for success and -1 after an error
// report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/mstring.h"

namespace ordena {

class Session;

// The most characters a script may hold: as read (a command file, standard
// input, a submitted file) and after its tokens are substituted.
inline constexpr std::size_t kMaxScriptBytes = std::size_t{64} << 20;
// The most characters of one line of a submitted file.
inline constexpr std::size_t kMaxSubmitLineBytes = std::size_t{16} << 20;

// Where each character of a text came from in the script as written: its
// byte offset there. The preprocessing steps carry it along when asked, so
// that a failing statement can be shown where the user wrote it.
using ScriptOrigins = std::vector<std::uint32_t>;

// A stretch of a script as written: the byte offsets of its first character
// and of the character after its last. Empty when not known.
struct ScriptPlace {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool known() const { return end > begin; }
};

// Each step below takes, when origins is given, the origins of text and
// leaves there those of its result.
//
// Removes /* ... */ comments; comments do not nest.
int stripComments(Session& session, const MString& text, MString& result, ScriptOrigins* origins = nullptr);
// Expands dofor ... enddo loops, defining the loop variable as a token.
int expandLoops(Session& session, const MString& text, MString& result, ScriptOrigins* origins = nullptr);
// Removes every line break: LF, CR LF and a lone CR.
MString removeLineBreaks(const MString& text, ScriptOrigins* origins = nullptr);
// Replaces %name% by the value of the token name.
int substituteTokens(Session& session, const MString& text, MString& result, ScriptOrigins* origins = nullptr);

// Comments, loops, line breaks and tokens. A UTF-8 byte-order mark at the
// start of the script is dropped first, and each zero byte becomes the two
// characters "\0", so that none reaches statements, echoes or messages.
int preprocessScript(Session& session, const MString& script, MString& result, ScriptOrigins* origins = nullptr);
// failed, when given, receives the place of a statement that fails (or of
// the text left without its semicolon), from origins.
int runStatements(Session& session, const MString& text, const ScriptOrigins* origins = nullptr,
                  ScriptPlace* failed = nullptr);
// Runs one statement given without its semicolon.
int executeStatement(Session& session, const MString& statement);

// preprocessScript, then runStatements. failed, when given, receives the
// place in script of the statement that failed, when one did.
int runScript(Session& session, const MString& script, ScriptPlace* failed = nullptr);
// What Run All does: a reset that clears the output, then runScript.
int runAll(Session& session, const MString& script, ScriptPlace* failed = nullptr);

// The statements of a script as the reader divides it, in order: each from
// its first character that is neither blank nor part of a comment to its
// semicolon (or to the end of the script), a dofor loop through its enddo
// as one. Comments and blanks between them belong to none.
std::vector<ScriptPlace> statementPlaces(const MString& script);

}  // namespace ordena
