// Kept apart so that only this file is compiled again when the date moves.
#include <sstream>
#include <string>

#include "report/system_file.h"

namespace ordena {

MString buildDateText() {
    // __DATE__ is "Mmm dd yyyy" with a blank before a one-digit day.
    std::istringstream in(__DATE__);
    std::string month, day, year;
    in >> month >> day >> year;
    return MString(month + " " + day + " " + year);
}

}  // namespace ordena
