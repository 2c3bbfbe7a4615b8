// The progress display of a batch run on a terminal: one line on standard
// error, rewritten in place, naming the statement that runs, the iteration
// and deviance of an estimation, the status text and the time the statement
// has taken. It is taken off the terminal before anything else is written
// there and when the run ends, so that it never remains in what the user
// reads.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

namespace ordena {

struct ProgressState {
    std::string statement;  // as echoed, without "=>" and ";"
    int iteration = 0;      // 0 outside the iterations of an estimation
    bool hasDeviance = false;
    double deviance = 0.0;
    std::string status;  // the message pane of the status line
};

// The line for the state after the statement has run for that many
// seconds: the statement, the iteration and deviance, the time taken and
// then the status text, whose length varies most, so that the rest keeps
// its place. It has fewer than width columns (a full line wraps on some
// terminals and breaks the rewriting): the statement takes at most half,
// and less where the figures need the room; the status text is cut at the
// edge.
std::string progressLineText(const ProgressState& state, double seconds, int width);

class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;

    // Writes to the terminal err, and only once switched on.
    explicit ProgressLine(std::FILE* err) : err_(err) {}

    // outputOnTerminal: standard output goes to the terminal too, so the line
    // must be taken off before every piece of output.
    void switchOn(bool outputOnTerminal, std::FILE* out);
    bool on() const { return on_; }
    bool outputOnTerminal() const { return on_ && out_ != nullptr; }

    // A new statement: the line is taken off and shows nothing until the
    // statement has run a moment and said how far it is.
    void statementStarted(const std::string& echo);
    void iteration(int t);
    void deviance(double d);
    void iterationsEnded();
    void status(const std::string& text);

    // Draws the line when it has news, at most ten times a second, and
    // once a second for the clock.
    void refresh();
    // Takes the line off the terminal.
    void clear();

    // The clock the line reads (tests set their own).
    void setClock(std::function<Clock::time_point()> now) { now_ = std::move(now); }

private:
    void changed();

    std::FILE* err_;
    std::FILE* out_ = nullptr;
    bool on_ = false;
    ProgressState state_;
    bool news_ = false;        // something the core said since the statement began
    bool dirty_ = false;       // the state differs from what is drawn
    std::size_t shown_ = 0;    // columns on the terminal now; 0 when off it
    std::function<Clock::time_point()> now_ = [] { return Clock::now(); };
    Clock::time_point started_{};
    Clock::time_point drawn_{};
};

}  // namespace ordena
