// The options of the plot statement, for those who compose plot statements
// without the plot settings themselves (the dialogs).
#pragma once

#include "command/option_table.h"

namespace ordena {

struct PlotSettings;

const OptionTable<PlotSettings>& plotOptionTable();

}  // namespace ordena
