// Where statements stand in a script as written: the statement that failed,
// through comments, loops, tokens and line breaks, and the division of a
// script into its statements.
#include "command/reader.h"
#include "command/session_fixture.h"

namespace ordena::test {
namespace {

class FailedPlace : public SessionTest {
protected:
    FailedPlace() {
        recordAllCommandsBut({"let", "submit"});
        recordCommand("codes", -1);
    }
    // The text of the script at the place of the statement that failed.
    std::string failing(const std::string& script) {
        ScriptPlace place;
        const int result = runScript(session, MString(script), &place);
        if (result != -1) return "(ran)";
        if (!place.known()) return "(unknown)";
        return script.substr(place.begin, place.end - place.begin);
    }
};

TEST_F(FailedPlace, TheStatementAsWrittenFromItsFirstCharacterToItsSemicolon) {
    EXPECT_EQ(failing("title A;\n   codes 0,1;\ntitle B;"), "codes 0,1;");
    EXPECT_EQ(failing("title A;\r\ncodes\r\n  0,1 ;\r\ntitle B;"), "codes\r\n  0,1 ;");
    EXPECT_EQ(failing("title A; bogus x;"), "bogus x;");
    // Comments are not statements, before it or inside it.
    EXPECT_EQ(failing("/* codes; */ title A; /* x; */ codes /* a; b */ 1;"), "codes /* a; b */ 1;");
    EXPECT_EQ(failing("title A; /* c */\tcodes\t1;"), "codes\t1;");
    // Two equal statements: the second one failed, since the first ran.
    recordCommand("codes", 1);
    recordCommand("model", -1);
    EXPECT_EQ(failing("model a; title x;"), "model a;");
    const std::string twice = "title x; title x; model b;";
    EXPECT_EQ(failing(twice), "model b;");
    EXPECT_EQ(failing("title A;\n  title B"), "title B");  // no semicolon
    EXPECT_EQ(failing("title A; title B;"), "(ran)");
}

TEST_F(FailedPlace, ByteOffsetsOfTheScriptAsGiven) {
    ScriptPlace place;
    // A byte-order mark and a two-byte character before the statement.
    const std::string script = "\xEF\xBB\xBFtitle \xC3\xA9;\ncodes 1;";
    ASSERT_EQ(runScript(session, MString(script), &place), -1);
    EXPECT_EQ(place.begin, 3u + 10u);
    EXPECT_EQ(place.end, script.size());
    // A preprocessing error has no statement to show.
    EXPECT_EQ(runScript(session, MString("title a; */ codes 1;"), &place), -1);
    EXPECT_FALSE(place.known());
}

TEST_F(FailedPlace, InsideALoopTheBodyStatement) {
    EXPECT_EQ(failing("dofor k=1,2;\n  title %k%;\n  codes %k%;\nenddo;\ntitle after;"), "codes %k%;");
    EXPECT_EQ(calls, (std::vector<Call>{{"title", " 1"}, {"(failing)", " 1"}}));
}

TEST_F(FailedPlace, TokensStandWhereTheirNamesWere) {
    // The statement begins with a token whose value is the command word.
    EXPECT_EQ(failing("let c=codes;\ntitle a;\n%c% 0,1;"), "%c% 0,1;");
    EXPECT_EQ(failing("let v=1,2;\ncodes %v%;"), "codes %v%;");
    EXPECT_EQ(failing("let v=;\ncodes 1%v%;"), "codes 1%v%;");
    // A token defined by a statement of the script is substituted again
    // before the statements after it.
    EXPECT_EQ(failing("title %w% x;\nlet w=3;\ntitle %w%;\ncodes %w%;"), "codes %w%;");
}

// A submitted file's statements are not the script's: a submit that fails
// is the failing statement, and one inside the file does not place itself.
TEST_F(FailedPlace, ASubmitFailsAsTheSubmitStatement) {
    ScratchDirectory dir;
    EXPECT_EQ(failing("title a;\nsubmit missing.zrc;\ntitle b;"), "submit missing.zrc;");
    writeFile("inner.zrc", "title in;\ncodes 1;\n");
    recordCommand("model", -1);
    EXPECT_EQ(failing("submit inner.zrc;\nmodel x;"), "model x;");
}

TEST_F(FailedPlace, RunAllPlacesToo) {
    ScriptPlace place;
    const std::string script = "title a;\ncodes 1;";
    ASSERT_EQ(runAll(session, MString(script), &place), -1);
    EXPECT_EQ(script.substr(place.begin, place.end - place.begin), "codes 1;");
}

std::vector<std::string> pieces(const std::string& script) {
    std::vector<std::string> out;
    for (const ScriptPlace& p : statementPlaces(MString(script))) out.push_back(script.substr(p.begin, p.end - p.begin));
    return out;
}

TEST(StatementPlaces, DivideAsTheReaderDoes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(pieces("title A;\n  codes 0,1;\n\nmodel item"), (V{"title A;", "codes 0,1;", "model item"}));
    EXPECT_EQ(pieces(""), V{});
    EXPECT_EQ(pieces(" \n\t /* only ; a comment */ \n"), V{});
    EXPECT_EQ(pieces("/* a; */ title x /* ; */ y; /*/ codes 1;"), (V{"title x /* ; */ y;", "codes 1;"}));
    // The comment "/*/" ends at its own "*/"; an open comment ends the script.
    EXPECT_EQ(pieces("title a; /*/ codes 1; /* b"), (V{"title a;", "codes 1;"}));
    EXPECT_EQ(pieces("title a /* b"), (V{"title a /* b"}));
    // A loop is one statement through its enddo and the character after it.
    EXPECT_EQ(pieces("DoFor k=1,2;\n title %k%; /* enddo */\n codes %k%;\nEndDo;\ntitle z;"),
              (V{"DoFor k=1,2;\n title %k%; /* enddo */\n codes %k%;\nEndDo;", "title z;"}));
    // Quotes do not hide a semicolon from the reader.
    EXPECT_EQ(pieces("title \"a;b\";"), (V{"title \"a;", "b\";"}));
    EXPECT_EQ(pieces("\xEF\xBB\xBFtitle a;"), (V{"title a;"}));
}

// The places of the statements are those the executor reports as failing:
// each statement of a script, made to fail in turn, is found at its place.
TEST_F(FailedPlace, EveryStatementFailsAtItsOwnPlace) {
    const std::string script = "/* start */ title A;\r\n  model item;\n\tcodes 0,1 /* c */;\ntitle \"z\";";
    const std::vector<ScriptPlace> places = statementPlaces(MString(script));
    ASSERT_EQ(places.size(), 4u);
    const char* words[] = {"title", "model", "codes", "title"};
    recordCommand("codes", 1);
    for (std::size_t k = 0; k < places.size(); ++k) {
        // Fail the k-th statement only: earlier statements of the same word run.
        std::string changed = script;
        changed.replace(places[k].begin, std::string(words[k]).size(), std::string(words[k]).size(), 'q');
        ScriptPlace failed;
        ASSERT_EQ(runScript(session, MString(changed), &failed), -1) << k;
        EXPECT_EQ(failed.begin, places[k].begin) << k;
        EXPECT_EQ(failed.end, places[k].end) << k;
    }
}

}  // namespace
}  // namespace ordena::test

namespace ordena::test {
namespace {

// Scripts made of the pieces that move characters about (comments, loops,
// tokens, line breaks, a byte-order mark, zero bytes): a failing statement
// is always placed inside the script, on a statement the reader divides it
// into.
TEST_F(FailedPlace, PlacesStayInsideAnyScript) {
    const char* pieces[] = {"title a;", "codes 1;", "/* x; */", "/*", "*/", "dofor k=1,2;", "enddo;", "%k%",
                            "let k=codes;", "%", "\r\n", "\n", "\t", " ", ";", std::string_view("\0", 1).data(),
                            "\xEF\xBB\xBF", "\xC3\xA9", "bogus;"};
    const std::size_t lengths[] = {8, 8, 8, 2, 2, 12, 6, 3, 12, 1, 2, 1, 1, 1, 1, 1, 3, 2, 6};
    unsigned state = 12345;
    for (int round = 0; round < 3000; ++round) {
        std::string script;
        const int n = 1 + static_cast<int>(state % 9);
        for (int k = 0; k < n; ++k) {
            state = state * 1103515245u + 12345u;
            const std::size_t which = (state >> 16) % (sizeof lengths / sizeof lengths[0]);
            script.append(pieces[which], lengths[which]);
        }
        shell.clear();
        session.tokens.clear();
        ScriptPlace place;
        if (runScript(session, MString(script), &place) == -1 && place.known()) {
            ASSERT_LE(place.end, script.size()) << script;
            ASSERT_LT(place.begin, place.end) << script;
        }
    }
}

}  // namespace
}  // namespace ordena::test
