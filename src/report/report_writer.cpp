#include "report/report_writer.h"

#include <cstdio>

#include "command/parse.h"
#include "command/session.h"

namespace ordena {

MString reportLine(int width) { return MString(width); }

MString rule(char c, int n) { return MString::repeat(c, n); }

MString reportDate(const std::tm& when) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int day = when.tm_wday >= 0 && when.tm_wday < 7 ? when.tm_wday : 0;
    int month = when.tm_mon >= 0 && when.tm_mon < 12 ? when.tm_mon : 0;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s %s %2d %02d:%02d %04d", kDays[day], kMonths[month], when.tm_mday,
                  when.tm_hour, when.tm_min, when.tm_year + 1900);
    return MString(buffer);
}

std::vector<MString> titleLines(const MString& reportTitle, const MString& date, int width) {
    // Column 58 stays blank between the title and the date.
    constexpr int kRoom = 58;
    std::vector<MString> lines;
    MString first = reportTitle, rest;
    if (reportTitle.length() > kRoom) {
        int cut = -1;
        for (int i = kRoom; i > 0; --i)
            if (reportTitle[i] == ' ') {
                cut = i;
                break;
            }
        if (cut < 0) cut = kRoom;
        first = reportTitle.mid(0, cut);
        rest = reportTitle.mid(cut, reportTitle.length() - cut).trim();
    }
    MString line = reportLine(width);
    line.overlay(first, 0);
    line.overlay(date, 59);
    lines.push_back(line);
    // The rest of a long title, broken at blanks where it can be.
    while (!rest.isEmpty()) {
        int cut = rest.length();
        if (cut > width) {
            cut = width;
            for (int i = width; i > 0; --i)
                if (rest[i] == ' ') {
                    cut = i;
                    break;
                }
        }
        lines.push_back(rest.mid(0, cut));
        rest = rest.mid(cut, rest.length() - cut).trim();
    }
    return lines;
}

std::vector<MString> buildPageHeader(const MString& reportTitle, const std::tm& when) {
    std::vector<MString> header{"\f" + rule('=')};
    for (const MString& l : titleLines(reportTitle, reportDate(when))) header.push_back(l);
    header.push_back(MString());
    header.push_back(rule('='));
    return header;
}

bool prepareOutputFile(Session& session, const MString& name) {
    if (session.ws.replication >= 1) return true;
    return confirmOverwrite(session, name);
}

namespace {

std::tm localNow() {
    std::time_t now = std::time(nullptr);
    std::tm when{};
    localtime_r(&now, &when);
    return when;
}

}  // namespace

ReportWriter::ReportWriter(Session& session)
    : session_(session), savedLineEnd_(session.lineEnd), header_(buildPageHeader(session.ws.title, localNow())) {
    session_.lineEnd = "\r\n";
}

ReportWriter::~ReportWriter() {
    file_.close();
    session_.lineEnd = savedLineEnd_;
}

bool ReportWriter::openFile(const MString& name, bool append) {
    // A zero byte would cut the name short and write to another file.
    if (name.str().find('\0') != std::string::npos || !file_.open(name.str(), append ? "a" : "w")) {
        session_.errorReport("Could not open the output file " + name);
        return false;
    }
    session_.lineEnd = "\n";
    return true;
}

bool ReportWriter::closeFile() {
    bool wasOpen = file_.isOpen();
    std::string path = file_.path();
    bool ok = file_.close();
    session_.lineEnd = "\r\n";
    if (wasOpen && !ok) {
        session_.errorReport("Could not write the output file " + MString(path));
        return false;
    }
    return true;
}

const MString& ReportWriter::lineEnd() const { return session_.lineEnd; }

void ReportWriter::text(const MString& t) { printText(session_, t, &file_); }

void ReportWriter::line(const MString& l) { rawLine(l.trimRight()); }

void ReportWriter::rawLine(const MString& l) { text(l + (file_.isOpen() ? "\n" : "\r\n")); }

void ReportWriter::lines(const std::vector<MString>& ls) {
    for (const MString& l : ls) line(l);
}

void ReportWriter::pageHeader(const MString& tableTitle) {
    header_[header_.size() - 2] = tableTitle;
    for (const MString& l : header_) line(l);
}

void ReportWriter::pageTop() {
    for (std::size_t k = 0; k + 2 < header_.size(); ++k) line(header_[k]);
}

}  // namespace ordena
