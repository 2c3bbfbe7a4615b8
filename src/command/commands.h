// Handlers of the command-language statements: the workspace, tokens and
// the small commands.
#pragma once

#include "base/mstring.h"

namespace ordena {

class Session;

int handleReset(Session& session, const MString& arguments);
int handleSet(Session& session, const MString& arguments);
int handleLet(Session& session, const MString& arguments);
int handleTitle(Session& session, const MString& arguments);
int handleLabels(Session& session, const MString& arguments);
int handleSubmit(Session& session, const MString& arguments);
int handleDirectory(Session& session, const MString& arguments);
int handleSystem(Session& session, const MString& arguments);
int handleExit(Session& session, const MString& arguments);
int handleQuit(Session& session, const MString& arguments);

}  // namespace ordena
