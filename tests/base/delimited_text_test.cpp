#include "base/delimited_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "data/delimited_file.h"

using namespace ordena;

namespace {

TEST(DelimitedText, FieldsAreQuotedOnlyWhenTheyMustBe) {
    EXPECT_EQ(csvField("item 3 step 1"), "item 3 step 1");
    EXPECT_EQ(csvField(""), "");
    EXPECT_EQ(csvField("Smith, J."), "\"Smith, J.\"");
    EXPECT_EQ(csvField("say \"no\""), "\"say \"\"no\"\"\"");
    EXPECT_EQ(csvField(" 12"), "\" 12\"");
    EXPECT_EQ(csvField("a\nb"), "\"a\nb\"");
}

// What is written reads back to the same texts through the data file reader.
TEST(DelimitedText, ALineReadsBackAsItsFields) {
    const std::vector<std::string> texts{"1", "Smith, J.", "say \"no\"", "", " padded ", "NA"};
    std::vector<MString> fields;
    for (const std::string& t : texts) fields.push_back(csvField(t));
    const MString line = csvLine(fields);
    ASSERT_EQ(line.str().back(), '\n');
    std::vector<std::string_view> back;
    std::string storage;
    const std::string_view body(line.c_str(), static_cast<std::size_t>(line.length() - 1));
    ASSERT_FALSE(splitDelimitedLine(body, kDelimiterComma, back, storage).failed());
    EXPECT_EQ(std::vector<std::string>(back.begin(), back.end()), texts);
}

TEST(DelimitedText, NumbersKeepTenSignificantDigits) {
    EXPECT_EQ(csvNumber(0.25), "0.25");
    EXPECT_EQ(csvNumber(-1.3859231804), "-1.38592318");
    EXPECT_EQ(csvNumber(1e-21), "1e-21");
    EXPECT_EQ(csvNumber(std::nan("")), "NA");
    EXPECT_EQ(csvNumber(std::numeric_limits<double>::infinity()), "NA");
    // Read back, a number is within its tenth digit: every report's fixed
    // decimals round it as they round the value itself.
    for (double v : {0.123456789012, -3.14159265358979, 12345.678901234, 1.0 / 3.0}) {
        const double back = std::strtod(csvNumber(v).c_str(), nullptr);
        EXPECT_LE(std::fabs(back - v), std::fabs(v) * 1e-9) << v;
    }
}

}  // namespace
