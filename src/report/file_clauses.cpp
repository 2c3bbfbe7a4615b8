#include "report/file_clauses.h"

#include <string>

#include "command/session.h"

namespace ordena {

int forEachFileClause(Session& session, const MString& arguments, char symbol, const char* statement,
                      const std::function<int(const MString& keyword, const MString& name)>& each) {
    const MString in = MString(" ") + statement + " statement";
    const MString quoted = MString("'") + MString(symbol) + "'";
    if (arguments.trim().isEmpty()) {
        session.errorReport("Nothing specified in" + in);
        return -1;
    }
    const std::string& all = arguments.str();
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t comma = all.find(',', start);
        if (comma == std::string::npos) comma = all.size();
        const std::string clause = all.substr(start, comma - start);
        start = comma + 1;

        std::size_t at = clause.find(symbol);
        if (at == std::string::npos) at = clause.size();
        const MString keyword = MString(clause.substr(0, at)).trim();
        if (keyword.isEmpty()) {
            session.errorReport(quoted + " expected in" + in);
            return -1;
        }
        if (clause.size() - at < 3) {  // the symbol and fewer than two characters after it
            session.errorReport("Error in" + in);
            return -1;
        }
        if (clause[at + 1] != symbol) {
            session.errorReport("Two " + quoted + " expected in" + in);
            return -1;
        }
        if (each(keyword, MString(clause.substr(at + 2)).trim()) != 1) return -1;
        if (comma == all.size()) break;
    }
    return 1;
}

}  // namespace ordena
