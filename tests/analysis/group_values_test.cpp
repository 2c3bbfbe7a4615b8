// The group value table: distinct values of one grouping variable in byte
// order, the second variable of a group list read at its own columns, the
// limit of 25 values, and the refusal before any data pass.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/group_values.h"
#include "support/script_session.h"

namespace ordena::test {
namespace {

// Cases with a one-letter and a two-letter group variable and 4 responses.
std::string groupData(const std::vector<std::string>& first, const std::vector<std::string>& second) {
    std::string text;
    const char* const responses[] = {"0110", "1011", "0001", "1110", "1100", "0011"};
    for (std::size_t n = 0; n < first.size(); ++n) text += first[n] + second[n] + " " + responses[n % 6] + "\n";
    return text;
}

TEST(GroupValueTable, DistinctValuesInByteOrder) {
    ScriptSession s;
    s.writeFile("g.dat",
                groupData({"b", "a", "B", "a", "b", "c", "B", "a"}, {"x2", "x1", "x2", "10", "x1", "x1", "10", "x2"}));
    ASSERT_EQ(s.runAllOf("datafile g.dat; format one 1 two 2-3 responses 5-8; group one two; model item;"
                         "estimate ! iter=1, fit=no;"),
              1);
    std::vector<MString> table;
    ASSERT_EQ(groupValueTable(s.session, 1, table), 4);
    // Capitals sort before small letters by bytes.
    EXPECT_EQ(table, (std::vector<MString>{"B", "a", "b", "c"}));
    ASSERT_EQ(groupValueTable(s.session, 2, table), 3);
    EXPECT_EQ(table, (std::vector<MString>{"10", "x1", "x2"}));

    std::vector<MString> values;
    ASSERT_EQ(caseGroupValues(s.session, 2, values), 1);
    EXPECT_EQ(values, (std::vector<MString>{"x2", "x1", "x2", "10", "x1", "x1", "10", "x2"}));

    EXPECT_EQ(groupValueTable(s.session, 3, table), -1);
    EXPECT_EQ(s.shell.errors.back(), "Group variables are not available");
}

TEST(GroupValueTable, MoreThanTwentyFiveValuesAreRefused) {
    std::vector<std::string> first, second;
    for (int n = 0; n < 26; ++n) {
        first.push_back(std::string(1, static_cast<char>('A' + n)));
        second.push_back("zz");
    }
    ScriptSession s;
    s.writeFile("g.dat", groupData(first, second));
    ASSERT_EQ(s.runAllOf("datafile g.dat; format one 1 two 2-3 responses 5-8; group one; model item;"
                         "estimate ! iter=1, fit=no;"),
              1);
    std::vector<MString> table;
    EXPECT_EQ(groupValueTable(s.session, 1, table), -1);
    EXPECT_EQ(s.shell.errors.back(), "Too many different values in grouping variable");
    EXPECT_TRUE(table.empty());

    // Twenty-five values pass.
    first.pop_back();
    second.pop_back();
    s.writeFile("g.dat", groupData(first, second));
    ASSERT_EQ(s.runAllOf("datafile g.dat; format one 1 two 2-3 responses 5-8; group one; model item;"
                         "estimate ! iter=1, fit=no;"),
              1);
    EXPECT_EQ(groupValueTable(s.session, 1, table), 25);
    EXPECT_EQ(table.front(), "A");
    EXPECT_EQ(table.back(), "Y");
}

TEST(GroupValueTable, NothingBeforeTheDataPasses) {
    ScriptSession s;
    std::vector<MString> table;
    EXPECT_EQ(groupValueTable(s.session, 1, table), -1);
    EXPECT_EQ(s.shell.errors.back(), "Group variables are not available");
}

}  // namespace
}  // namespace ordena::test
