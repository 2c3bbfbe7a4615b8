// The import statement and the reader of import files: anchors and initial
// values of item parameters, regression coefficients and covariances, in
// the layouts that export writes, and the name of an imported design.
#pragma once

#include <vector>

#include "base/mstring.h"
#include "command/option_table.h"
#include "estimation/estimate_options.h"

namespace ordena {

class Session;

// The import statement.
// The keywords of the import statement's file clauses.
const OptionWords& importKeywords();
int handleImport(Session& session, const MString& arguments);

// Reads an import file of one anchor kind (0-5) and appends its records to
// records, in file order. 1, or -1 after the error reports; on failure
// records may hold part of the file (the caller discards the kind).
int readImportFile(Session& session, const MString& fileName, int kind, std::vector<AnchorEntry>& records);

// The same from text already in memory (comments are removed line by line).
int readImportText(Session& session, const MString& fileName, const std::string& text, int kind,
                   std::vector<AnchorEntry>& records);

}  // namespace ordena
