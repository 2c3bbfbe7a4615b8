#include "data/delimited_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace ordena;

namespace {

std::vector<std::string> split(std::string_view line, std::int32_t delimiter, SplitFault* fault = nullptr) {
    std::vector<std::string_view> fields;
    std::string storage;
    SplitFault f = splitDelimitedLine(line, delimiter, fields, storage);
    if (fault != nullptr) *fault = f;
    return {fields.begin(), fields.end()};
}

using Fields = std::vector<std::string>;

TEST(DelimitedSplit, EachSeparatorAndEmptyFields) {
    EXPECT_EQ(split("a,b,,d", kDelimiterComma), (Fields{"a", "b", "", "d"}));
    EXPECT_EQ(split("a;1,5;;", kDelimiterSemicolon), (Fields{"a", "1,5", "", ""}));
    EXPECT_EQ(split("a\t\tc", kDelimiterTab), (Fields{"a", "", "c"}));
    EXPECT_EQ(split(",", kDelimiterComma), (Fields{"", ""}));
    // Runs of blanks and tabs are one separator; blanks at the ends are none.
    EXPECT_EQ(split("  12   3\t 4  ", kDelimiterWhitespace), (Fields{"12", "3", "4"}));
    // Blanks around an unquoted field are not part of it.
    EXPECT_EQ(split(" a , b ,c", kDelimiterComma), (Fields{"a", "b", "c"}));
}

TEST(DelimitedSplit, QuotesHoldSeparatorsAndDoubledQuotes) {
    EXPECT_EQ(split(R"("Smith, J.",3,"say ""no""")", kDelimiterComma), (Fields{"Smith, J.", "3", R"(say "no")"}));
    EXPECT_EQ(split(R"("",x)", kDelimiterComma), (Fields{"", "x"}));
    EXPECT_EQ(split(R"("a b"  "c")", kDelimiterWhitespace), (Fields{"a b", "c"}));
    // Blanks inside quotes stay; blanks outside them go.
    EXPECT_EQ(split(R"( " a " ;b)", kDelimiterSemicolon), (Fields{" a ", "b"}));
    // Two fields with doubled quotes on one line keep their own text.
    EXPECT_EQ(split(R"("a""b","c""d")", kDelimiterComma), (Fields{R"(a"b)", R"(c"d)"}));
}

TEST(DelimitedSplit, MalformedLinesNameTheField) {
    SplitFault f;
    split(R"(1,"open,3)", kDelimiterComma, &f);
    EXPECT_EQ(f.what, "unclosed quote");
    EXPECT_EQ(f.field, 2);
    split(R"(1,2,"a"b)", kDelimiterComma, &f);
    EXPECT_EQ(f.what, "text after the closing quote");
    EXPECT_EQ(f.field, 3);
    split(R"(ab"c,2)", kDelimiterComma, &f);
    EXPECT_EQ(f.what, "a quote inside a field that does not begin with one");
    EXPECT_EQ(f.field, 1);
    split(R"(1,"ok",3)", kDelimiterComma, &f);
    EXPECT_FALSE(f.failed());
}

TEST(DelimitedSplit, GuessTakesTheCommonestSeparatorOutsideQuotes) {
    EXPECT_EQ(guessDelimiter("id,q1,q2"), kDelimiterComma);
    EXPECT_EQ(guessDelimiter("id;q1;q2"), kDelimiterSemicolon);
    EXPECT_EQ(guessDelimiter("id\tq1\tq2"), kDelimiterTab);
    EXPECT_EQ(guessDelimiter("id q1  q2"), kDelimiterWhitespace);
    // Decimal commas inside a semicolon file, and commas inside quotes.
    EXPECT_EQ(guessDelimiter("1;2,5;3,5;4"), kDelimiterSemicolon);
    EXPECT_EQ(guessDelimiter(R"("a,b,c";"d")"), kDelimiterSemicolon);
    // A tie goes to tab, then semicolon.
    EXPECT_EQ(guessDelimiter("a\tb;c"), kDelimiterTab);
    EXPECT_EQ(guessDelimiter("a;b,c"), kDelimiterSemicolon);
}

class DelimitedReaderTest : public ::testing::Test {
protected:
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("ordena-delimited-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                  "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".csv");
    DelimitedReader reader;

    void TearDown() override { std::filesystem::remove(path); }

    void write(const std::string& bytes) {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }
    // Every data line's fields, or the message of the first failure.
    std::vector<Fields> readAll(std::string* message = nullptr) {
        std::vector<Fields> lines;
        std::vector<std::string_view> fields;
        int got;
        while ((got = reader.next(fields)) == 1) lines.emplace_back(fields.begin(), fields.end());
        if (message != nullptr) *message = got < 0 ? reader.error().str() : "";
        return lines;
    }
};

TEST_F(DelimitedReaderTest, HeaderBomAndLineEnds) {
    // A byte-order mark, CR LF and LF mixed, an empty line, no last line end.
    write("\xEF\xBB\xBFid,Q1,q2\r\n7,1,0\r\n\r\n8,,1\n9,NA,.");
    ASSERT_EQ(reader.open(path.string(), {true, kDelimiterGuess, true}), 1) << reader.error().str();
    EXPECT_EQ(reader.delimiter(), kDelimiterComma);
    EXPECT_EQ(reader.header(), (std::vector<MString>{"id", "Q1", "q2"}));
    EXPECT_EQ(reader.fieldCount(), 3);
    std::string message;
    EXPECT_EQ(readAll(&message), (std::vector<Fields>{{"7", "1", "0"}, {"8", "", "1"}, {"9", "NA", "."}}));
    EXPECT_EQ(message, "");
    EXPECT_EQ(reader.lineNumber(), 5);
}

TEST_F(DelimitedReaderTest, WithoutHeaderTheFirstLineIsData) {
    write("1;2;3\n4;5;6\n");
    ASSERT_EQ(reader.open(path.string(), {true, kDelimiterSemicolon, false}), 1);
    EXPECT_TRUE(reader.header().empty());
    EXPECT_EQ(reader.fieldCount(), 3);
    EXPECT_EQ(readAll(), (std::vector<Fields>{{"1", "2", "3"}, {"4", "5", "6"}}));
}

TEST_F(DelimitedReaderTest, QuotedFirstLineFieldsSurviveUntilRead) {
    write("\"a\"\"b\",2\n3,4\n");
    ASSERT_EQ(reader.open(path.string(), {true, kDelimiterComma, false}), 1);
    EXPECT_EQ(readAll(), (std::vector<Fields>{{"a\"b", "2"}, {"3", "4"}}));
}

TEST_F(DelimitedReaderTest, EveryMalformedFileNamesItsLine) {
    struct Case {
        std::string bytes;
        bool header;
        std::string message;
    };
    const Case cases[] = {
        {"id,q1\n1,2\n3,4,5\n", true, "Data file line 3 has 3 fields, not 2 as the header has"},
        {"1,2\n3\n", false, "Data file line 2 has 1 fields, not 2 as the first line has"},
        {"id,q1\n1,\"2\n", true, "Data file line 2, field 2: unclosed quote"},
        {"id,q1\n\n\n1,\"2\"x\n", true, "Data file line 4, field 2: text after the closing quote"},
    };
    for (const Case& c : cases) {
        write(c.bytes);
        ASSERT_EQ(reader.open(path.string(), {true, kDelimiterComma, c.header}), 1) << c.bytes;
        std::string message;
        readAll(&message);
        EXPECT_EQ(message, c.message) << c.bytes;
    }
}

TEST_F(DelimitedReaderTest, BadHeadersAreRefusedAtOpen) {
    write("id,Q1,q1\n1,2,3\n");
    EXPECT_EQ(reader.open(path.string(), {true, kDelimiterComma, true}), -1);
    EXPECT_EQ(reader.error(), "Data file line 1, field 3: the header name q1 is given twice (fields 2 and 3)");
    write("id,\"q1\n");
    EXPECT_EQ(reader.open(path.string(), {true, kDelimiterComma, true}), -1);
    EXPECT_EQ(reader.error(), "Data file line 1, field 2: unclosed quote");
    write("\n  \n");
    EXPECT_EQ(reader.open(path.string(), {true, kDelimiterComma, true}), -1);
    EXPECT_EQ(reader.error(), "The data file " + path.string() + " holds no lines");
    // Empty names (a column of row names) are not duplicates of each other.
    write(",,q1\n1,2,3\n");
    EXPECT_EQ(reader.open(path.string(), {true, kDelimiterComma, true}), 1);
}

TEST_F(DelimitedReaderTest, ALineLongerThanTheLimitIsRefused) {
    write("a,b\n" + std::string(DelimitedReader::kMaxLine + 1, 'x') + "\n");
    ASSERT_EQ(reader.open(path.string(), {true, kDelimiterComma, true}), 1);
    std::string message;
    readAll(&message);
    EXPECT_EQ(message, "Line 2 of the data file is longer than " + std::to_string(DelimitedReader::kMaxLine) +
                           " characters");
}

}  // namespace
