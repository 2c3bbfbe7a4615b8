#include "base/delimited_text.h"

#include <cmath>
#include <cstdio>

namespace ordena {

MString csvField(std::string_view text) {
    bool quote = !text.empty() && (text.front() == ' ' || text.back() == ' ');
    for (char c : text) quote = quote || c == ',' || c == '"' || c == '\n' || c == '\r';
    if (!quote) return MString(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return MString(out + "\"");
}

MString csvNumber(double value) {
    if (!std::isfinite(value)) return "NA";
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.10g", value);
    return MString(buffer);
}

MString csvLine(const std::vector<MString>& fields) {
    std::string out;
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (k > 0) out += ',';
        out += fields[k].str();
    }
    return MString(out + "\n");
}

}  // namespace ordena
