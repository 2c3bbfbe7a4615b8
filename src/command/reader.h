// The statement reader and the command executor: a script is preprocessed
// as a whole (comments, dofor loops, line breaks, tokens) and then run one
// statement at a time. All return 1 for success and -1 after an error
// report.
#pragma once

#include <cstddef>

#include "base/mstring.h"

namespace ordena {

class Session;

// The most characters a script may hold: as read (a command file, standard
// input, a submitted file) and after its tokens are substituted.
inline constexpr std::size_t kMaxScriptBytes = std::size_t{64} << 20;
// The most characters of one line of a submitted file.
inline constexpr std::size_t kMaxSubmitLineBytes = std::size_t{16} << 20;

// Removes /* ... */ comments; comments do not nest.
int stripComments(Session& session, const MString& text, MString& result);
// Expands dofor ... enddo loops, defining the loop variable as a token.
int expandLoops(Session& session, const MString& text, MString& result);
// Removes every line break: LF, CR LF and a lone CR.
MString removeLineBreaks(const MString& text);
// Replaces %name% by the value of the token name.
int substituteTokens(Session& session, const MString& text, MString& result);

// Comments, loops, line breaks and tokens. A UTF-8 byte-order mark at the
// start of the script is dropped first, and each zero byte becomes the two
// characters "\0", so that none reaches statements, echoes or messages.
int preprocessScript(Session& session, const MString& script, MString& result);
int runStatements(Session& session, const MString& text);
// Runs one statement given without its semicolon.
int executeStatement(Session& session, const MString& statement);

// preprocessScript, then runStatements.
int runScript(Session& session, const MString& script);
// What Run All does: a reset that clears the output, then runScript.
int runAll(Session& session, const MString& script);

}  // namespace ordena
