// What the characters of a script are, as the reader will take them: the
// workbench colours its input pane by this. Each statement's command word
// is matched against the command table as the executor matches it, and the
// words before an "=" against the words that statement's handler reads, so
// the colours never disagree with what a run does.
#pragma once

#include <string_view>
#include <vector>

namespace ordena {

enum class SyntaxKind {
    Command,         // a command word the executor knows
    UnknownCommand,  // a first word that is no command word, or an ambiguous one
    Option,          // an option or setting word of the statement
    Comment,         // /* ... */
    Quoted,          // "..."
    Token,           // %name%
    Loop,            // dofor, enddo
};

struct SyntaxSpan {
    int start = 0;
    int length = 0;
    SyntaxKind kind = SyntaxKind::Command;
    bool operator==(const SyntaxSpan&) const = default;
};

// Where the reading stands at the end of a line, for the next one.
struct SyntaxState {
    enum class Part { Start, Arguments, Options, File };
    bool comment = false;
    bool quote = false;
    Part part = Part::Start;
    int command = -1;  // the statement's command number, -1 when not known

    // As a number for a text editor's line state; negative numbers (an
    // editor's "no state yet") unpack to the start of a script.
    int pack() const;
    static SyntaxState unpack(int packed);
    bool operator==(const SyntaxState&) const = default;
};

// The spans of one line that are not plain text, in order. Characters are
// taken one unit each; units above 127 are letters to it.
std::vector<SyntaxSpan> classifyLine(std::u16string_view line, SyntaxState& state);

// The words the handler of a command number reads before an "=", from its
// own tables; empty for statements without any.
std::vector<std::string_view> optionWordsOf(int command);

}  // namespace ordena
