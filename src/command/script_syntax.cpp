#include "command/script_syntax.h"

#include <string>

#include "command/command_table.h"
#include "command/option_words.h"
#include "command/parse.h"

namespace ordena {

namespace {

constexpr int kPartBits = 3;

bool blank(char16_t c) { return c == u' ' || c == u'\t'; }

// The executor takes the command word up to a blank, "!", ">" or "<"; the
// reader cuts statements at ";" and removes comments and tokens first.
bool endsCommandWord(char16_t c) { return blank(c) || c == u'!' || c == u'>' || c == u'<' || c == u';'; }

// Option and setting words: up to anything that ends a word in a list.
bool endsOptionWord(char16_t c) {
    return blank(c) || c == u'!' || c == u'>' || c == u'<' || c == u';' || c == u'=' || c == u',' || c == u'%' ||
           c == u'"' || c == u'(' || c == u')';
}

MString ascii(std::u16string_view word) {
    std::string s;
    for (char16_t c : word) s += c < 128 ? static_cast<char>(c) : '\x7f';
    return MString(std::move(s));
}

bool isWord(std::u16string_view word, std::string_view lower) {
    if (word.size() != lower.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k) {
        char16_t c = word[k];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != static_cast<char16_t>(lower[k])) return false;
    }
    return true;
}

// Whether the word is followed, past blanks, by "=".
bool beforeEquals(std::u16string_view line, std::size_t end) {
    while (end < line.size() && blank(line[end])) ++end;
    return end < line.size() && line[end] == u'=';
}

bool optionOf(int command, std::u16string_view word) {
    if (command < 0) return false;
    const std::vector<std::string_view> words = optionWordsOf(command);
    if (words.empty()) return false;
    // The words are the handlers' own literals, so each ends in a zero.
    std::vector<const char*> table;
    for (std::string_view w : words) table.push_back(w.data());
    return findKeyword(ascii(word), table.data(), static_cast<int>(table.size())) >= 0;
}

}  // namespace

int SyntaxState::pack() const {
    return (comment ? 1 : 0) | (quote ? 2 : 0) | (static_cast<int>(part) << 2) | ((command + 1) << (2 + kPartBits));
}

SyntaxState SyntaxState::unpack(int packed) {
    SyntaxState s;
    if (packed < 0) return s;
    s.comment = (packed & 1) != 0;
    s.quote = (packed & 2) != 0;
    s.part = static_cast<Part>((packed >> 2) & ((1 << kPartBits) - 1));
    s.command = (packed >> (2 + kPartBits)) - 1;
    if (s.command >= kCommandCount) s.command = -1;
    return s;
}

std::vector<SyntaxSpan> classifyLine(std::u16string_view line, SyntaxState& state) {
    std::vector<SyntaxSpan> spans;
    auto add = [&](std::size_t from, std::size_t to, SyntaxKind kind) {
        if (to <= from) return;
        // Neighbouring spans of one kind are one.
        if (!spans.empty() && spans.back().kind == kind && spans.back().start + spans.back().length == int(from)) {
            spans.back().length += static_cast<int>(to - from);
            return;
        }
        spans.push_back({static_cast<int>(from), static_cast<int>(to - from), kind});
    };
    const std::size_t n = line.size();
    std::size_t i = 0;
    // The reader removes comments before anything else, so they count
    // inside quotes too; a comment ends at the first "*/" after its "/".
    auto closeComment = [&](std::size_t from, std::size_t searchFrom) {
        const std::size_t close = line.find(u"*/", searchFrom);
        const std::size_t to = close == std::u16string_view::npos ? n : close + 2;
        add(from, to, SyntaxKind::Comment);
        state.comment = close == std::u16string_view::npos;
        i = to;
    };
    if (state.comment) closeComment(0, 0);
    while (i < n) {
        const char16_t c = line[i];
        if (c == u'/' && i + 1 < n && line[i + 1] == u'*') {
            closeComment(i, i + 1);
            continue;
        }
        if (c == u';') {
            // Statements end here whatever came before, quotes included.
            state.part = SyntaxState::Part::Start;
            state.command = -1;
            state.quote = false;
            ++i;
            continue;
        }
        if (c == u'%') {
            const std::size_t close = line.find(u'%', i + 1);
            if (close != std::u16string_view::npos && line.substr(i, close - i).find(u';') == std::u16string_view::npos) {
                add(i, close + 1, SyntaxKind::Token);
                if (state.part == SyntaxState::Part::Start) state.part = SyntaxState::Part::Arguments;
                i = close + 1;
                continue;
            }
        }
        if (state.quote) {
            add(i, i + 1, SyntaxKind::Quoted);
            if (c == u'"') state.quote = false;
            ++i;
            continue;
        }
        if (c == u'"') {
            state.quote = true;
            add(i, i + 1, SyntaxKind::Quoted);
            if (state.part == SyntaxState::Part::Start) state.part = SyntaxState::Part::Arguments;
            ++i;
            continue;
        }
        switch (state.part) {
            case SyntaxState::Part::Start: {
                if (endsCommandWord(c)) {
                    ++i;
                    break;
                }
                std::size_t end = i;
                while (end < n && !endsCommandWord(line[end]) && line[end] != u'%' && line[end] != u'"' &&
                       !(line[end] == u'/' && end + 1 < n && line[end + 1] == u'*'))
                    ++end;
                const std::u16string_view word = line.substr(i, end - i);
                if (isWord(word, "dofor") || isWord(word, "enddo")) {
                    add(i, end, SyntaxKind::Loop);
                } else {
                    const int number = findKeyword(ascii(word), kCommandWords, kCommandCount);
                    add(i, end, number >= 0 ? SyntaxKind::Command : SyntaxKind::UnknownCommand);
                    state.command = number;
                }
                state.part = SyntaxState::Part::Arguments;
                i = end;
                break;
            }
            case SyntaxState::Part::Arguments:
            case SyntaxState::Part::Options: {
                if (c == u'!' && state.part == SyntaxState::Part::Arguments) {
                    state.part = SyntaxState::Part::Options;
                    ++i;
                    break;
                }
                if ((c == u'>' || c == u'<') && i + 1 < n && line[i + 1] == c) {
                    state.part = SyntaxState::Part::File;
                    i += 2;
                    break;
                }
                if (endsOptionWord(c)) {
                    ++i;
                    break;
                }
                std::size_t end = i;
                while (end < n && !endsOptionWord(line[end]) &&
                       !(line[end] == u'/' && end + 1 < n && line[end + 1] == u'*'))
                    ++end;
                if (beforeEquals(line, end) && optionOf(state.command, line.substr(i, end - i)))
                    add(i, end, SyntaxKind::Option);
                i = end;
                break;
            }
            case SyntaxState::Part::File:
                ++i;
                break;
        }
    }
    return spans;
}

}  // namespace ordena

namespace ordena {

std::vector<std::string_view> optionWordsOf(int command) {
    if (command < 0 || command >= kCommandCount) return {};
    const std::string_view word = kCommandWords[command];
    if (word == "estimates") return estimateOptionWords();
    if (word == "plot") return plotOptionWords();
    if (word == "descriptives") return descriptivesOptionWords();
    if (word == "itanal") return itanalOptionWords();
    if (word == "show") return showOptionWords();
    if (word == "set") return setOptionWords();
    if (word == "simulate") return simulateOptionWords();
    if (word == "generate") return generateOptionWords();
    return {};
}

}  // namespace ordena
