#include "data/format.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "command/parse.h"
#include "command/option_table.h"
#include "command/session.h"
#include "data/delimited_format.h"

namespace ordena {

namespace {

// Larger than any column, width or level count the layout can use, so a
// long run of digits cannot overflow.
constexpr std::int64_t kNumberCap = 1000000000;

bool digitAt(const std::string& s, std::size_t pos) { return pos < s.size() && isDigit(s[pos]); }

std::int64_t readNumber(const std::string& s, std::size_t& pos) {
    std::int64_t v = 0;
    while (digitAt(s, pos)) {
        v = v * 10 + (s[pos] - '0');
        if (v > kNumberCap) v = kNumberCap;
        ++pos;
    }
    return v;
}

bool onlyCharacters(const std::string& s, std::string_view allowed) {
    for (char c : s)
        if (allowed.find(c) == std::string_view::npos) return false;
    return true;
}

struct Field {
    MString name;
    std::string columns;  // the column specification, blanks removed
};

// The record counter that runs through every field of the statement.
struct FormatParser {
    Shell& shell;
    DataLayout& layout;
    std::int64_t record = 1;

    int fail(const MString& message) {
        shell.errorReport(message);
        return -1;
    }

    // A column range at pos: a number, optionally "-" and a second number.
    int readRange(const std::string& s, std::size_t& pos, std::int64_t& first, std::int64_t& last) {
        first = readNumber(s, pos);
        last = first;
        if (pos < s.size() && s[pos] == '-') {
            ++pos;
            if (!digitAt(s, pos)) return fail(" Column range incorrect: end range not found");
            last = readNumber(s, pos);
        }
        if (last < first) return fail("Column range incorrect - 1st number > 2nd number");
        // Columns count from 1 and no record is longer than the data passes read.
        if (first < 1) return fail("Column numbers in format start at 1");
        if (last > kMaxRecordLength)
            return fail("Column number in format beyond the longest record allowed (" + itoMString(kMaxRecordLength) +
                        ")");
        return 1;
    }

    int explicitField(const Field& f) {
        const std::string& s = f.columns;
        if (!onlyCharacters(s, "0123456789-/,"))
            return fail(" Illegal character in column specification for variable");
        std::size_t pos = 0;
        while (pos < s.size() && s[pos] == '/') {
            ++record;
            ++pos;
        }
        while (pos < s.size() && !isDigit(s[pos])) ++pos;
        if (pos >= s.size()) return fail(" No column specification found for a variable in format");
        std::int64_t first = 0, last = 0;
        if (readRange(s, pos, first, last) != 1) return -1;
        // The record is checked against its limit after all fields.
        Segment seg{static_cast<std::int32_t>(first), static_cast<std::int32_t>(last),
                    static_cast<std::int32_t>(record < kNumberCap ? record : kNumberCap)};
        for (; pos < s.size(); ++pos) {
            if (s[pos] == '/')
                ++record;
            else if (s[pos] != ',')
                return fail(" Incorrect column specification for variable in format");
        }
        int k = layout.explicitVariableIndex(f.name);
        if (k >= 0) {
            layout.explicitVariables[static_cast<std::size_t>(k)].segments.push_back(seg);
        } else {
            ExplicitVariable v;
            v.name = f.name;
            v.segments.push_back(seg);
            layout.explicitVariables.push_back(std::move(v));
        }
        return 1;
    }

    int responseField(const Field& f) {
        std::string s = f.columns;
        if (!onlyCharacters(s, "0123456789-/(),a"))
            return fail(" Illegal character in column specification for response");
        ResponseBlock block;
        std::size_t open = s.find('('), close = s.find(')');
        int opens = 0, closes = 0;
        for (char c : s) {
            opens += (c == '(');
            closes += (c == ')');
        }
        if (opens != 0 || closes != 0) {
            if (opens != 1 || closes != 1 || close < open) return fail(" Nested brackets not allowed in format");
            std::size_t pos = open + 1;
            if (pos < s.size() && s[pos] == 'a')
                ++pos;
            else
                shell.warningReport(" Width specification in format doesn't start with 'a' or 'A' ");
            if (!digitAt(s, pos)) return fail(" No width specified");
            std::int64_t width = readNumber(s, pos);
            if (pos >= s.size() || s[pos] != ')') return fail("Illegal character following width specification in format");
            // A width of 0 would divide by zero below and read nothing.
            if (width < 1) return fail("The width in format must be at least 1");
            block.width = static_cast<std::int32_t>(width);
            s.erase(open, close - open + 1);
        }
        std::size_t pos = 0;
        while (pos < s.size()) {
            char c = s[pos];
            if (c == ',') {
                ++pos;
            } else if (c == '/') {
                ++record;
                ++pos;
            } else if (!isDigit(c)) {
                return fail(" Error in column specification for response");
            } else {
                std::int64_t first = 0, last = 0;
                if (readRange(s, pos, first, last) != 1) return -1;
                std::int64_t columns = last - first + 1;
                if (columns % block.width != 0) return fail(" Column range not divisible by field width");
                std::int64_t n = columns / block.width;
                if (block.count() + n > kMaxResponsesPerBlock)
                    return fail("Too many responses in one response block of format");
                std::int32_t rec = static_cast<std::int32_t>(record < kNumberCap ? record : kNumberCap);
                for (std::int64_t k = 0; k < n; ++k)
                    block.responses.push_back({static_cast<std::int32_t>(first + k * block.width), rec});
            }
        }
        // A block without columns would leave the layout without items.
        if (block.responses.empty()) return fail(" No column specification found for the responses in format");
        layout.responseBlocks.push_back(std::move(block));
        return 1;
    }

    int implicitVariables(const MString& text) {
        const std::string s = text.removeBlanks().str();
        MString token;
        int first = -1, last = -1;
        int pos = 0;
        while (firstToken(MString(s), pos, ",)", token, first, last) == 1) {
            pos = last + 1;
            std::string t = token.str();
            if (static_cast<std::size_t>(last + 1) < s.size() && s[static_cast<std::size_t>(last + 1)] == ')') t += ')';
            std::size_t open = t.find('(');
            if (open == std::string::npos) return fail(" Number of levels not specified for implicit var in format");
            if (t.find('(', open + 1) != std::string::npos) return fail(" Incorrect brackets in format");
            std::size_t p = open + 1;
            if (!digitAt(t, p)) return fail(" Number of levels not specified for implicit var in format");
            std::int64_t levels = readNumber(t, p);
            if (p >= t.size() || t[p] != ')' || p + 1 != t.size())
                return fail(" Illegal character following level specification in format");
            MString name = MString(t.substr(0, open)).lower();
            if (!isValidName(name)) return fail(" Not valid variable name in format");
            if (static_cast<int>(layout.implicitVariables.size()) >= kMaxImplicitVariables)
                return fail("Too many implicit variables in format");
            layout.implicitVariables.push_back({name, static_cast<std::int32_t>(levels)});
        }
        return 1;
    }

    int itemVariable() {
        bool explicitItem =
            layout.explicitVariableIndex("item") >= 0 || layout.explicitVariableIndex("items") >= 0;
        if (layout.implicitVariables.empty()) {
            if (!explicitItem) layout.implicitVariables.push_back({"item", layout.items});
        } else {
            std::int64_t product = 1;
            for (const auto& v : layout.implicitVariables) {
                product *= v.levels;
                if (product > layout.items) break;  // stays wrong; also keeps it from overflowing
            }
            if (product != layout.items)
                return fail(
                    " Product of levels of implicit variables must be the same as the no. of items specified for the "
                    "responses");
        }
        for (auto& v : layout.explicitVariables)
            if (v.name == "items") v.name = "item";
        for (auto& v : layout.implicitVariables)
            if (v.name == "items") v.name = "item";
        return 1;
    }

    int nameChecks() {
        static const char* const reserved[] = {"dimensions", "parameters", "fitstatistics"};
        for (const auto& v : layout.explicitVariables)
            for (const char* r : reserved)
                if (v.name == r) return fail(v.name + " cannot be used as an explicit variable name");
        for (const auto& v : layout.implicitVariables)
            for (const char* r : reserved)
                if (v.name == r) return fail(v.name + " cannot be used as an implicit variable name");
        for (const auto& v : layout.explicitVariables)
            if (layout.implicitVariableIndex(v.name) >= 0)
                return fail(v.name + " cannot be used as both an explicit and an implicit variable name");
        // Two variables of one name (item and items written together, or an
        // implicit name given twice) could never be told apart.
        for (std::size_t k = 0; k < layout.explicitVariables.size(); ++k)
            if (layout.explicitVariableIndex(layout.explicitVariables[k].name) != static_cast<int>(k))
                return fail(layout.explicitVariables[k].name + " cannot be used for two variables in format");
        for (std::size_t k = 0; k < layout.implicitVariables.size(); ++k)
            if (layout.implicitVariableIndex(layout.implicitVariables[k].name) != static_cast<int>(k))
                return fail(layout.implicitVariables[k].name + " cannot be used for two variables in format");
        return 1;
    }
};

// Splits the field part into fields: a field begins at every valid name
// that stands outside brackets.
int collectFields(Shell& shell, const std::string& part, std::vector<Field>& fields) {
    std::vector<int> depth(part.size() + 1, 0);
    int d = 0;
    for (std::size_t i = 0; i < part.size(); ++i) {
        depth[i] = d;
        if (part[i] == '(') ++d;
        if (part[i] == ')' && d > 0) --d;
    }
    const MString text(part);
    MString token;
    int first = -1, last = -1;
    int pos = 0;
    std::vector<std::pair<int, int>> names;  // first and last index of each field name
    while (firstToken(text, pos, " !,>", token, first, last) == 1) {
        if (isValidName(token) && depth[static_cast<std::size_t>(first)] == 0) names.push_back({first, last});
        pos = last + 1;
    }
    if (names.empty() || names.size() > static_cast<std::size_t>(kMaxFormatFields)) {
        shell.errorReport(" No field found or too many fields in format");
        return -1;
    }
    // Before the first name only record slashes have a meaning.
    MString before = text.mid(0, names[0].first).removeBlanks();
    if (!onlyCharacters(before.str(), "/")) {
        shell.errorReport("Column specification without a field name in format: " + before);
        return -1;
    }
    for (std::size_t k = 0; k < names.size(); ++k) {
        int end = k + 1 < names.size() ? names[k + 1].first : text.length();
        Field f;
        f.name = text.substr(names[k].first, names[k].second).lower();
        f.columns = text.mid(names[k].second + 1, end - names[k].second - 1).removeBlanks().str();
        fields.push_back(std::move(f));
    }
    return 1;
}

}  // namespace

int parseFormat(const MString& text, DataLayout& layout, Shell& shell) {
    layout = DataLayout();
    FormatParser p{shell, layout};
    if (text.isBlank()) return p.fail("Nothing specified after 'format' keyword");
    int bang = text.find('!');
    if (bang == 0) return p.fail(" Error in format - '!' in column 1");
    MString fieldPart = bang < 0 ? text : text.mid(0, bang);
    MString implicitPart = bang < 0 ? MString() : text.mid(bang + 1, text.length());

    int depth = 0;
    for (char c : fieldPart.str()) {
        if (c == '(' && ++depth > 1) return p.fail(" Nested brackets not allowed");
        if (c == ')') {
            if (depth == 0)
                shell.errorReport(" Brackets are not in correct order");
            else
                --depth;
        }
    }

    for (char c : fieldPart.str()) {
        if (c == '/')
            ++p.record;
        else if (c != ' ')
            break;
    }

    std::string spaced;
    spaced.reserve(static_cast<std::size_t>(fieldPart.length()) * 2);
    for (char c : fieldPart.str()) {
        if (c == '/') {
            spaced += " / ";
        } else {
            spaced += c;
        }
    }

    std::vector<Field> fields;
    if (collectFields(shell, spaced, fields) != 1) return -1;
    for (const Field& f : fields) {
        int status = f.name.view().starts_with("response") ? p.responseField(f) : p.explicitField(f);
        if (status != 1) return -1;
    }

    if (p.record > kMaxRecordsPerCase)
        return p.fail("The maximum number of records allowed is " + itoMString(kMaxRecordsPerCase) + ". You have " +
                      itoMString(p.record));
    if (layout.responseBlocks.empty()) return p.fail(" 'response' must be specified in format ");
    for (const auto& b : layout.responseBlocks)
        if (b.count() != layout.responseBlocks[0].count()) return p.fail(" All responses must have the same no. of columns");
    layout.items = layout.responseBlocks[0].count();
    layout.responseWidth = layout.responseBlocks[0].width;
    layout.recordsPerCase = static_cast<std::int32_t>(p.record);

    if (completeLayout(implicitPart, layout, shell) != 1) return -1;
    layout.formatText = text;
    return 1;
}

int completeLayout(const MString& implicitPart, DataLayout& layout, Shell& shell) {
    FormatParser p{shell, layout};
    if (p.implicitVariables(implicitPart) != 1) return -1;
    if (p.itemVariable() != 1) return -1;
    if (p.nameChecks() != 1) return -1;

    layout.caseIdentifier = layout.explicitVariableIndex("pid");
    int item = layout.explicitVariableIndex("item");
    if (item >= 0) {
        layout.itemVariable = {kExplicitVariable, item};
    } else {
        layout.itemVariable = {kImplicitVariable, layout.implicitVariableIndex("item")};
    }
    for (const auto& v : layout.explicitVariables) layout.variableNames.push_back(v.name);
    for (const auto& v : layout.implicitVariables) layout.variableNames.push_back(v.name);
    layout.fillItemLevels();
    return 1;
}

const OptionTable<DelimitedOptions>& datafileOptionTable() {
    using V = const OptionValue&;
    using O = DelimitedOptions&;
    static const OptionTable<DelimitedOptions> table(
        {"datafile", "Error in datafile option", "An incorrect datafile option"},
        {
            {"delimiter", OptionKind::Choice,
             "The delimiter option must be one of: comma, semicolon, tab, whitespace or guess",
             [](V v, O o) {
                 static const std::int32_t kKinds[] = {kDelimiterComma, kDelimiterSemicolon, kDelimiterTab,
                                                       kDelimiterWhitespace, kDelimiterGuess};
                 const int k = choiceOf(v.lower(), {"comma", "semicolon", "tab", "whitespace", "guess"});
                 if (k < 0) return v.refuse();
                 o.delimiter = kKinds[k];
                 return 1;
             }},
            yesNoOption<DelimitedOptions>("header", "The header option must be yes or no", &DelimitedOptions::header),
        });
    return table;
}

int datafileCommand(Session& session, const MString& arguments) {
    MString token;
    int first = -1, last = -1;
    if (firstToken(arguments, 0, " ", token, first, last) != 1) {
        session.errorReport("Nothing specified after 'datafile' keyword");
        return -1;
    }
    MString name = arguments.trim();
    DelimitedOptions options;
    // Options after "!" make the file a delimited one; a file whose own
    // name holds the "!" is still found by that name.
    const int bang = name.find('!');
    if (bang >= 0 && !fileExists(name)) {
        const MString optionText = name.mid(bang + 1, name.length());
        name = name.mid(0, bang).trim();
        if (name.isEmpty()) {
            session.errorReport("Nothing specified after 'datafile' keyword");
            return -1;
        }
        options.delimited = true;
        if (!optionText.trim().isEmpty() && datafileOptionTable().read(session, optionText, options) != 1) return -1;
    }
    if (!fileExists(name)) {
        std::error_code ec;
        std::string cwd = std::filesystem::current_path(ec).string();
        session.errorReport("The data file '" + MString(cwd) + "/" + name + "' cannot be opened");
        return -1;
    }
    Workspace& ws = session.ws;
    ws.data.fileName = name;
    // A format made for the other kind of file cannot read this one.
    if (ws.data.layout.hasResponses() && ws.data.layout.delimited != options.delimited) {
        ws.data.layout.items = 0;
        ws.data.layout.responseWidth = 0;
        session.warningReport(options.delimited
                                  ? MString("The format was given for a fixed-column data file: give the format statement again")
                                  : MString("The format was given for a delimited data file: give the format statement again"));
    }
    ws.data.fileOptions = options;
    session.appendOutput("Data file name: " + name + "\r\n\r\n");
    ws.dataPassNeeded = 1;
    ws.est.estimated = 0;
    return 1;
}

int formatCommand(Session& session, const MString& arguments) {
    Workspace& ws = session.ws;
    ws.dataPassNeeded = 1;
    ws.est.estimated = 0;
    ws.data.layout.items = 0;
    ws.data.layout.responseWidth = 0;
    DataLayout layout;
    if (ws.data.fileOptions.delimited) {
        if (parseDelimitedFormat(arguments, ws.data.fileName, ws.data.fileOptions, layout, session) != 1) return -1;
    } else if (parseFormat(arguments, layout, session) != 1) {
        return -1;
    }
    // The stored statements named their variables under the old layout:
    // they follow the names, never the positions.
    for (const auto& [statement, name] : ws.model.resolveByName(ws.data.layout, layout))
        session.warningReport("The " + statement + " statement names " + name +
                              ", which this format does not have: give the " + statement + " statement again");
    auto follow = [&](std::vector<Selection>& selections) {
        for (Selection& selection : selections) selection.variable = layout.sameNamed(ws.data.layout, selection.variable);
    };
    for (RecodeRule& rule : ws.data.recodes) follow(rule.selections);
    for (ScoreRule& rule : ws.data.scores) follow(rule.selections);
    for (DeleteRule& rule : ws.data.deletes) follow(rule.selections);
    ws.data.layout = std::move(layout);
    MString out = "\r\n";
    if (!ws.data.layout.explicitVariables.empty()) {
        out += "Explicit Variables: \r\n";
        for (const auto& v : ws.data.layout.explicitVariables) out += "   " + v.name + "\r\n";
    }
    session.appendOutput(out);
    return 1;
}

}  // namespace ordena
