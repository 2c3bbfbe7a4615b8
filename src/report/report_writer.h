// The one way reports reach the user: the output pane, or the file named
// after ">>". Every report (show's tables, the maps, the later analyses)
// writes through a ReportWriter, so the page header, the line ends and the
// overwrite question are the same everywhere.
//
// Use:
//   if (!prepareOutputFile(session, name)) return -1;   // the question
//   ReportWriter out(session);                           // pane by default
//   if (!name.isEmpty() && !out.openFile(name, append)) return -1;
//   out.pageHeader("MY TABLE");                          // title in line 3
//   MString line = reportLine();                         // 80 blanks
//   line.overlay("text", 10); line.centre("x", 20, 30);
//   out.line(line);                                      // trailing blanks dropped
//
// Pane lines end with CR LF, file lines with LF; session.lineEnd says which
// while the writer lives.
#pragma once

#include <array>
#include <ctime>
#include <vector>

#include "base/mstring.h"
#include "base/textfile.h"

namespace ordena {

class Session;

inline constexpr int kReportWidth = 80;

// A report line: width blanks, filled by MString::overlay (place at a
// column, never growing) and MString::centre (centre between columns).
MString reportLine(int width = kReportWidth);
// n copies of c: the "=" and "-" rules.
MString rule(char c, int n = kReportWidth);

// The date of the page header: "Tue Mar  7 14:05 2006" (21 characters).
MString reportDate(const std::tm& when);
// The report title with the date at column 59 of a line width wide. A
// title longer than 57 characters would run into the date: it is broken at
// a blank (or at column 57 when it has none there), its first part stands
// before the date and the rest follows on lines of its own.
std::vector<MString> titleLines(const MString& reportTitle, const MString& date, int width = kReportWidth);
// The header lines: form feed and "=" rule; the title lines (the report
// title with the date at column 59, and what a long title puts on further
// lines); the table title (empty); "=" rule. Four lines for a title that
// fits before the date.
std::vector<MString> buildPageHeader(const MString& reportTitle, const std::tm& when);

// Before a report goes to an existing file: asks whether to replace it
// (unless a simulation replication after the first is appending). False when
// the user cancels; the statement then ends without a message.
bool prepareOutputFile(Session& session, const MString& name);

class ReportWriter {
public:
    // Writes to the output pane until a file is opened. The page header is
    // built now, with the current title and local time.
    explicit ReportWriter(Session& session);
    // Closes the file and restores the pane's line end.
    ~ReportWriter();
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    // Opens the report file, truncating it or (append) adding to it. False
    // after an error report when it cannot be opened; output stays in the pane.
    bool openFile(const MString& name, bool append);
    // Closes the file; later output goes to the pane. False when the file
    // could not be written completely (after an error report).
    bool closeFile();
    bool toFile() const { return file_.isOpen(); }
    const MString& lineEnd() const;

    // Text as it stands (no line end added).
    void text(const MString& t);
    // The line without its trailing blanks, then the line end.
    void line(const MString& l);
    // The line as it stands, then the line end.
    void rawLine(const MString& l);
    void lines(const std::vector<MString>& ls);
    // Sets line 3 of the page header to the title and writes the header.
    void pageHeader(const MString& tableTitle);
    // Writes the page header up to its title lines: the form feed rule and
    // the report title with the date.
    void pageTop();
    // Replaces the header (tests use a fixed date).
    void setHeader(const std::vector<MString>& header) { header_ = header; }

    Session& session() { return session_; }

private:
    Session& session_;
    TextFile file_;
    MString savedLineEnd_;
    std::vector<MString> header_;  // see buildPageHeader: the table title is the last line but one
};

}  // namespace ordena
