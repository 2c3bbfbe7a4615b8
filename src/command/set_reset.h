// The common reset of the workspace, the defaults of the settings, and the
// reset and set statements.
#pragma once

#include "command/option_table.h"

namespace ordena {

class Session;

// The settings of the set statement (its items are word=value, split at
// commas by the statement).
const OptionTable<Session>& setOptionTable();

// Returns the workspace to its start-up state, except the data file name,
// the data layout with its missing-value codes and the item groups.
void resetWorkspace(Session& session, bool clearOutput);
// Every setting back to its default; the generators reseeded with 1; no
// estimates; replication -1.
void restoreDefaultSettings(Session& session);
// Status panes 3 (automatic estimate updates) and 2 (warnings).
void refreshStatusPanes(Session& session);

}  // namespace ordena
