#include "app/console/progress_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace ordena {

namespace {

// A statement must have run this long before the line appears: a script
// of quick statements then shows no flicker.
constexpr double kQuietStart = 0.25;
constexpr double kRedraw = 0.1;
constexpr double kClockTick = 1.0;

bool continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Columns of UTF-8 text (one per character).
std::size_t columns(const std::string& s) {
    std::size_t n = 0;
    for (char c : s) n += continuation(c) ? 0 : 1;
    return n;
}

// The first n columns, cut between characters.
std::string firstColumns(const std::string& s, std::size_t n) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (continuation(s[i])) continue;
        if (count == n) return s.substr(0, i);
        ++count;
    }
    return s;
}

// Control characters would move the cursor: blanks instead, and none at
// either end.
std::string tidy(const std::string& s) {
    std::string out;
    for (char c : s) out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    const std::size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

std::string clockText(double seconds) {
    const long total = seconds > 0.0 ? static_cast<long>(seconds) : 0;
    char buffer[32];
    if (total >= 3600)
        std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(buffer, sizeof buffer, "%ld:%02ld", total / 60, total % 60);
    return buffer;
}

int terminalWidth(std::FILE* f) {
    winsize size{};
    if (ioctl(fileno(f), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

}  // namespace

std::string progressLineText(const ProgressState& state, double seconds, int width) {
    const std::size_t room = width > 1 ? static_cast<std::size_t>(width - 1) : 0;
    const std::string separator = " | ";
    std::string iteration, deviance;
    if (state.iteration > 0) {
        iteration = "Iteration " + std::to_string(state.iteration);
        char buffer[64];
        if (state.hasDeviance) std::snprintf(buffer, sizeof buffer, "Deviance %.5f", state.deviance);
        deviance = state.hasDeviance ? buffer : "";
    }
    const std::string clock = clockText(seconds);
    // Columns after the statement that it must leave free: the figures, the
    // start of a status text, and the room of a deviance still to come, so
    // that the statement keeps its length while the rest changes.
    std::size_t fixed = 2 * separator.size() + columns(clock) + 12;
    if (!iteration.empty()) fixed += 2 * separator.size() + iteration.size() + std::max<std::size_t>(deviance.size(), 20);
    std::size_t statementRoom = std::min(room / 2, room > fixed ? room - fixed : 0);

    std::string line = tidy(state.statement);
    if (columns(line) > statementRoom)
        line = statementRoom > 3 ? firstColumns(line, statementRoom - 3) + "..." : std::string();
    auto add = [&](const std::string& part) {
        if (part.empty()) return;
        if (!line.empty()) line += separator;
        line += part;
    };
    add(iteration);
    add(deviance);
    add(clock);
    add(tidy(state.status));
    return columns(line) > room ? firstColumns(line, room) : line;
}

void ProgressLine::switchOn(bool outputOnTerminal, std::FILE* out) {
    on_ = true;
    out_ = outputOnTerminal ? out : nullptr;
}

void ProgressLine::statementStarted(const std::string& echo) {
    clear();
    std::string statement = echo;
    while (!statement.empty() && (statement.back() == '\n' || statement.back() == '\r')) statement.pop_back();
    if (statement.rfind("=>", 0) == 0) statement.erase(0, 2);
    if (!statement.empty() && statement.back() == ';') statement.pop_back();
    state_ = ProgressState{};
    state_.statement = statement;
    news_ = false;
    dirty_ = false;
    started_ = now_();
}

void ProgressLine::iteration(int t) {
    state_.iteration = t;
    state_.hasDeviance = false;
    changed();
}

void ProgressLine::deviance(double d) {
    state_.hasDeviance = true;
    state_.deviance = d;
    changed();
}

void ProgressLine::iterationsEnded() {
    state_.iteration = 0;
    state_.hasDeviance = false;
    changed();
}

void ProgressLine::status(const std::string& text) {
    state_.status = text;
    changed();
}

void ProgressLine::changed() {
    news_ = true;
    dirty_ = true;
    refresh();
}

void ProgressLine::refresh() {
    if (!on_ || !news_) return;
    const Clock::time_point now = now_();
    const double running = std::chrono::duration<double>(now - started_).count();
    if (running < kQuietStart) return;
    const double last = std::chrono::duration<double>(now - drawn_).count();
    if (last < kRedraw || (shown_ > 0 && !dirty_ && last < kClockTick)) return;
    const std::string text = progressLineText(state_, running, terminalWidth(err_));
    const std::size_t width = columns(text);
    // Output written so far goes before the line.
    if (out_ != nullptr) std::fflush(out_);
    std::string out(1, '\r');
    out += text;
    if (shown_ > width) out.append(shown_ - width, ' ');
    std::fwrite(out.data(), 1, out.size(), err_);
    std::fflush(err_);
    // The blanks beyond the text need no clearing.
    shown_ = width;
    dirty_ = false;
    drawn_ = now;
}

void ProgressLine::clear() {
    if (shown_ == 0) return;
    std::string out(1, '\r');
    out.append(shown_, ' ');
    out += '\r';
    std::fwrite(out.data(), 1, out.size(), err_);
    std::fflush(err_);
    shown_ = 0;
}

}  // namespace ordena
