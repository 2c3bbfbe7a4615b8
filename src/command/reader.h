// The statement reader and the command executor: a script is preprocessed
// as a whole (comments, dofor loops, line breaks, tokens) and then run one
// statement at a time. All return 1 for success and -1 after an error
// report.
#pragma once

#include "base/mstring.h"

namespace ordena {

class Session;

// Removes /* ... */ comments; comments do not nest.
int stripComments(Session& session, const MString& text, MString& result);
// Expands dofor ... enddo loops, defining the loop variable as a token.
int expandLoops(Session& session, const MString& text, MString& result);
// Removes every line break: LF, CR LF and a lone CR.
MString removeLineBreaks(const MString& text);
// Replaces %name% by the value of the token name.
int substituteTokens(Session& session, const MString& text, MString& result);

int preprocessScript(Session& session, const MString& script, MString& result);
int runStatements(Session& session, const MString& text);
// Runs one statement given without its semicolon.
int executeStatement(Session& session, const MString& statement);

// preprocessScript, then runStatements.
int runScript(Session& session, const MString& script);
// What Run All does: a reset that clears the output, then runScript.
int runAll(Session& session, const MString& script);

}  // namespace ordena
