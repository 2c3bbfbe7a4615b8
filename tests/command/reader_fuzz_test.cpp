// Malformed scripts: the reader must neither crash nor hang, and its
// shortcuts must not change what the statements do. Deterministic: the
// same inputs on every run.
#include <cstdint>
#include <random>

#include "command/session_fixture.h"

namespace ordena::test {
namespace {

// The statement loop exactly as the language defines it: tabs replaced and
// the whole rest substituted again before every statement.
int referenceRun(Session& session, std::string rest) {
    while (true) {
        for (char& c : rest)
            if (c == '\t') c = ' ';
        MString substituted;
        if (substituteTokens(session, MString(rest), substituted) == -1) return -1;
        rest = substituted.str();
        if (rest.find_first_not_of(' ') == std::string::npos) return 1;
        std::size_t semicolon = rest.find(';');
        if (semicolon == std::string::npos) {
            session.errorReport("Statement doesn't end with semi-colon");
            return -1;
        }
        if (executeStatement(session, MString(rest.substr(0, semicolon))) == -1) return -1;
        rest = rest.substr(semicolon + 1);
    }
}

struct Outcome {
    int status = 0;
    std::string output;
    std::vector<std::string> errors, warnings;
    std::vector<Call> calls;
    std::vector<std::pair<MString, MString>> tokens;
    std::string title;
};

class Harness : public SessionTest {
public:
    Harness() { recordAllCommandsBut({"let", "title"}); }
    using SessionTest::outputLines;
    using SessionTest::session;
    using SessionTest::shell;
    void TestBody() override {}

    Outcome run(const std::string& script, bool reference) {
        Outcome o;
        if (reference) {
            MString text;
            o.status = preprocessScript(session, MString(script), text);
            if (o.status == 1) o.status = referenceRun(session, text.str());
        } else {
            o.status = runScript(session, MString(script));
        }
        o.output = shell.output;
        o.errors = shell.errors;
        o.warnings = shell.warnings;
        o.calls = calls;
        o.tokens = session.tokens.entries();
        o.title = session.ws.title.str();
        return o;
    }
};

const char* const kPieces[] = {
    "title ", "let ",  "show",  "TiTlE", "e",      "est ",  "a",   "b",     "n",     "=",    ",",      ";",
    ";",      ";",     "%",     "%a%",   "%b%",    "%n%",   "%%",  "/*",    "*/",    "/",    "*",      "\"",
    "!",      ">>",    "<<",    ">",     "\r",     "\n",    "\r\n", "\t",   " ",     "  ",   "|",      "$",
    "dofor",  "enddo", "dofor i=1,2;", "enddo;", "DOFOR j=\"x y\",z;", "%i%", "%j%", "let a=%b%;", "let b=1;",
    "let a=p|q;", "let ;", "x",  "1",   "reset", "<",    "let a",
};

// A statement that uses or defines tokens, so that random scripts reach
// the token rules often.
std::string tokenStatement(std::mt19937& rng) {
    static const char* const names[] = {"a", "b", "n"};
    static const char* const values[] = {"1", "p|q", "%b%", "x%", "u v", "", "%a%%", "t/s$r", "%n"};
    const char* name = names[rng() % 3];
    switch (rng() % 5) {
        case 0: return std::string("let ") + name + "=" + values[rng() % 9] + ";";
        case 3:  // a token whose value names another
            return std::string("let ") + name + "=" + values[rng() % 9] + ", " + names[rng() % 3] + "=%" + name + "%;";
        case 1: return std::string("title %") + name + "%;";
        case 2: return std::string("show %") + name + "% %" + names[rng() % 3] + "%;";
        default: return "let;";
    }
}

std::string randomScript(std::mt19937& rng) {
    constexpr std::uint32_t pieceCount = sizeof kPieces / sizeof kPieces[0];
    std::string s;
    std::uint32_t n = rng() % 40;
    for (std::uint32_t k = 0; k < n; ++k) {
        std::uint32_t r = rng() % 100;
        if (r < 50) {
            s += kPieces[rng() % pieceCount];
        } else if (r < 85) {
            s += tokenStatement(rng);
        } else if (r < 95) {
            s += static_cast<char>(rng() % 256);  // any byte: zero, control, invalid UTF-8
        } else {
            s.append(rng() % 300, static_cast<char>("a %;/*\""[rng() % 7]));
        }
    }
    return s;
}

TEST(ReaderFuzz, RandomScriptsRunAsTheReferenceLoopRunsThem) {
    std::mt19937 rng(20240611u);
    for (int round = 0; round < 5000; ++round) {
        std::string script = randomScript(rng);
        Harness fast, reference;
        Outcome a = fast.run(script, false);
        Outcome b = reference.run(script, true);
        ASSERT_TRUE(a.status == 1 || a.status == -1) << round;
        ASSERT_EQ(a.status, b.status) << "round " << round << ": " << script;
        ASSERT_EQ(a.output, b.output) << "round " << round << ": " << script;
        ASSERT_EQ(a.errors, b.errors) << "round " << round << ": " << script;
        ASSERT_EQ(a.warnings, b.warnings) << "round " << round << ": " << script;
        ASSERT_EQ(a.calls, b.calls) << "round " << round << ": " << script;
        ASSERT_EQ(a.tokens, b.tokens) << "round " << round << ": " << script;
        ASSERT_EQ(a.title, b.title) << "round " << round << ": " << script;
        // Only echo lines reach the output: every one is "=>" ... ";".
        for (const std::string& line : fast.outputLines()) {
            ASSERT_GE(line.size(), 3u) << script;
            ASSERT_EQ(line.substr(0, 2), "=>") << script;
            ASSERT_EQ(line.back(), ';') << script;
        }
    }
}

TEST(ReaderFuzz, VeryLongTextsEndInReasonableTime) {
    Harness h;
    // A long line without a semicolon, and one whose quotes and markers never close.
    std::string noEnd(4'000'000, 'x');
    EXPECT_EQ(h.run(noEnd, false).status, -1);
    EXPECT_EQ(h.shell.errors.back(), "Statement doesn't end with semi-colon");
    std::string open = "title \"" + std::string(1'000'000, '%') + "/*";
    EXPECT_EQ(h.run(open, false).status, -1);

    // Many statements that use a token: the rest is not substituted again for each.
    Harness many;
    std::string script = "let a=1;";
    for (int k = 0; k < 200'000; ++k) script += "show %a%;";
    Outcome o = many.run(script, false);
    EXPECT_EQ(o.status, 1);
    ASSERT_EQ(o.calls.size(), 200'000u);
    EXPECT_EQ(o.calls.back().arguments, " 1");

    // A long loop expansion.
    Harness loop;
    std::string values = "dofor i=";
    for (int k = 0; k < 20'000; ++k) values += std::to_string(k) + ",";
    Outcome l = loop.run(values + "; show %i%; enddo;", false);
    EXPECT_EQ(l.status, 1);
    ASSERT_EQ(l.calls.size(), 20'000u);
    EXPECT_EQ(l.calls.back().arguments, " 19999");
}

TEST(ReaderFuzz, ZeroBytesShowEscapedAndInvalidUtf8PassesThrough) {
    Harness h;
    std::string script("\xef\xbb\xbftitle a\0b\xff\xc3;", 15);
    EXPECT_EQ(h.run(script, false).status, 1);
    EXPECT_EQ(h.session.ws.title.str(), "a\\0b\xff\xc3");
    EXPECT_EQ(h.shell.output, "=>title a\\0b\xff\xc3;\r\n");
}

}  // namespace
}  // namespace ordena::test
