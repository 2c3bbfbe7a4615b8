// The clause lists of export and import: "keyword >> name, keyword >> name"
// (or "<<"), handed over one clause at a time.
#pragma once

#include <functional>

#include "base/mstring.h"

namespace ordena {

class Session;

// Checks each clause in turn and hands its keyword and file name (both
// trimmed) to each; the first failure, reported here or by each (which
// returns -1), leaves the later clauses unprocessed. statement names the
// statement in the messages, symbol is '>' or '<'. 1, or -1.
int forEachFileClause(Session& session, const MString& arguments, char symbol, const char* statement,
                      const std::function<int(const MString& keyword, const MString& name)>& each);

}  // namespace ordena
