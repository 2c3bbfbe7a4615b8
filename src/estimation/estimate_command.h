// The estimate statement: its options, the model build, the choice of
// method and the hand-over to the driver.
#pragma once

#include "base/mstring.h"
#include "command/option_table.h"
#include "estimation/estimate_options.h"

namespace ordena {

class Session;

// The options of the estimate statement.
const OptionTable<EstimateOptions>& estimateOptionTable();
// Applies the option list to options (left at the defaults first). 1, or -1
// after the refusal's report.
int parseEstimateOptions(Session& session, const MString& text, EstimateOptions& options);
int estimateCommand(Session& session, const MString& text);

}  // namespace ordena
