#include "analysis/report_text.h"

#include <cstdio>

#include "command/parse.h"
#include "command/session.h"

namespace ordena {

MString reportDate(const std::tm& when) {
    static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int day = when.tm_wday >= 0 && when.tm_wday < 7 ? when.tm_wday : 0;
    const int month = when.tm_mon >= 0 && when.tm_mon < 12 ? when.tm_mon : 0;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s %s %2d %02d:%02d %4d", kDays[day], kMonths[month], when.tm_mday,
                  when.tm_hour, when.tm_min, when.tm_year + 1900);
    return MString(buffer);
}

MString reportDateNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return reportDate(local);
}

std::vector<MString> pageHeader(const MString& reportTitle, const MString& tableTitle, const MString& dateText) {
    MString titleLine(80);
    titleLine.overlay(reportTitle, 0);
    titleLine.overlay(dateText, 59);
    return {"\f" + MString::repeat('=', 80), titleLine, tableTitle, MString::repeat('=', 80)};
}

void writeReportLines(Session& session, const std::vector<MString>& lines, TextFile* file) {
    std::vector<MString> trimmed;
    trimmed.reserve(lines.size());
    for (const MString& line : lines) trimmed.push_back(line.trimRight());
    printLines(session, trimmed, file);
}

}  // namespace ordena
