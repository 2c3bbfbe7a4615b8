#include "command/command_table.h"

#include "analysis/descriptives.h"
#include "analysis/equivalence.h"
#include "analysis/fit.h"
#include "analysis/itanal.h"
#include "analysis/generate.h"
#include "analysis/simulate.h"
#include "command/commands.h"
#include "command/session.h"
#include "data/coding.h"
#include "data/format.h"
#include "estimation/estimate_command.h"
#include "model/model_statements.h"
#include "plot/plot_command.h"
#include "report/export.h"
#include "report/import.h"
#include "report/show_command.h"
#include "report/system_file.h"

namespace ordena {

const char* const kCommandWords[kCommandCount] = {
    "datafile", "format",   "model",    "facets",      "regression", "codes",     "recodes",      "scores",
    "estimates", "caseweight", "reset", "exit",        "quit",       "import",    "export",       "submit",
    "set",      "title",    "show",     "generate",    "key",        "itanal",    "labels",       "missing",
    "simulate", "plot",     "fit",      "directory",   "system",     "delete",    "equivalence",  "put",
    "get",      "group",    "descriptives", "let",     "itemgroup"};

namespace {

// One line per command number: each subsystem puts its handler in its line.
const std::array<Handler, kCommandCount> kHandlers = {
    datafileCommand,   // datafile
    formatCommand,     // format
    modelCommand,      // model
    facetsCommand,     // facets
    regressionCommand, // regression
    codesCommand,      // codes
    recodesCommand,    // recodes
    scoresCommand,     // scores
    estimateCommand,   // estimates
    caseweightCommand, // caseweight
    handleReset,       // reset
    handleExit,        // exit
    handleQuit,        // quit
    handleImport,      // import
    handleExport,      // export
    handleSubmit,      // submit
    handleSet,         // set
    handleTitle,       // title
    showCommand,       // show
    generateCommand,   // generate
    keyCommand,        // key
    itanalCommand,     // itanal
    handleLabels,      // labels
    missingCommand,    // missing
    simulateCommand,   // simulate
    plotCommand,       // plot
    fitCommand,        // fit
    handleDirectory,   // directory
    handleSystem,      // system
    deleteCommand,     // delete
    equivalenceCommand, // equivalence
    putCommand,        // put
    getCommand,        // get
    groupCommand,      // group
    descriptivesCommand, // descriptives
    handleLet,         // let
    itemgroupCommand,  // itemgroup
};

}  // namespace

const std::array<Handler, kCommandCount>& standardHandlers() { return kHandlers; }

}  // namespace ordena
