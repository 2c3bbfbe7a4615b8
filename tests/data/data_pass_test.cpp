// The data passes, the work files they write, the model file and the
// response readers.
#include <array>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "command/parse.h"
#include "data/data_passes.h"
#include "data/response_reader.h"
#include "model/model_builder.h"
#include "support/work_dir.h"

namespace ordena::test {
namespace {

std::string int32Bytes(const std::vector<std::int32_t>& values) {
    std::string out;
    for (std::int32_t v : values) {
        auto u = static_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i) out += static_cast<char>((u >> (8 * i)) & 0xff);
    }
    return out;
}

std::string doubleBytes(const std::vector<double>& values) {
    std::string out;
    for (double d : values) {
        std::uint64_t u;
        std::memcpy(&u, &d, sizeof u);
        for (int i = 0; i < 8; ++i) out += static_cast<char>((u >> (8 * i)) & 0xff);
    }
    return out;
}

struct CaseRead {
    int caseNumber;
    std::vector<std::int32_t> items;
    std::vector<std::int32_t> categories;
};

class DataPassTest : public WorkDirTest {
protected:
    // Every case the reader hands over; -1 in rc when it failed.
    std::vector<CaseRead> readAll(bool recoded = false, int* rc = nullptr, Matrix* recodedIndex = nullptr) {
        std::vector<CaseRead> out;
        ResponseReader reader(ws.data.passes, recoded);
        std::array<std::int32_t, kMaxCaseResponses> itemNo{}, rsp{};
        int control = 9;
        int caseNumber = -1;
        if (rc) *rc = 1;
        if (reader.call(control, caseNumber, itemNo.data(), rsp.data(), session) != 1) {
            if (rc) *rc = -1;
            return out;
        }
        control = 0;
        while (control != 1) {
            int n = reader.call(control, caseNumber, itemNo.data(), rsp.data(), session, recodedIndex);
            if (n < 0) {
                if (rc) *rc = -1;
                return out;
            }
            out.push_back({caseNumber, {itemNo.begin(), itemNo.begin() + n}, {rsp.begin(), rsp.begin() + n}});
        }
        return out;
    }
};

// The work files of a small data set, byte by byte, against records worked
// out by hand: a repeated identifier, a missing identifier, a case without
// valid responses, a case with a missing regression value, a facet, group
// and weight variables.
TEST_F(DataPassTest, WorkFilesHoldExactlyTheRecordsOfTheData) {
    data("02A25M2012\n"
         "01B  F1 1.\n"
         "  A30M1210\n"
         "03B40F1...\n"
         "02B35F3201\n",
         "pid 1-2 rater 3 age 4-5 grp 6 wt 7 responses 8-10");
    state(modelCommand, "rater + item + item*step");
    state(regressionCommand, "age");
    state(groupCommand, "grp");
    state(caseweightCommand, "wt");
    ASSERT_EQ(buildModel(session), 1) << (shell.errors.empty() ? "" : shell.errors[0]);
    const DataPassState& st = ws.data.passes;

    EXPECT_EQ(st.cases, 3);
    EXPECT_EQ(shell.output, "No. of cases = 3\r\n");
    ASSERT_EQ(st.t2.size(), 3u);
    EXPECT_EQ(st.t2[0], "0");
    EXPECT_EQ(st.t2[2], "2");
    ASSERT_EQ(st.valueLists.size(), 1u);
    EXPECT_EQ(st.valueLists[0].values, (std::vector<MString>{"A", "B"}));

    // Every facet is a model variable: pass two made the model records, and
    // they stand for the response file until it is asked for.
    EXPECT_TRUE(st.responseFile.isEmpty());
    EXPECT_TRUE(st.responsesInModelFile);
    ASSERT_EQ(writeResponseFile(session), 1);

    // Response records: case, category, recoded index, F, rater level, M,
    // item level, flag; in case order.
    std::string expected = int32Bytes({0, 1, 1, 1, 1, 1, 1, 1});
    for (auto r : std::vector<std::vector<std::int32_t>>{{1, 0, 0, 1, 0, 1, 0, 1},
                                                        {1, 1, 1, 1, 0, 1, 1, 1},
                                                        {1, 2, 2, 1, 0, 1, 2, 1},
                                                        {1, 2, 2, 1, 1, 1, 0, 1},
                                                        {1, 0, 0, 1, 1, 1, 1, 1},
                                                        {1, 1, 1, 1, 1, 1, 2, 1},
                                                        {2, 0, 0, 1, 0, 1, 0, 0}})
        expected += int32Bytes(r);
    EXPECT_EQ(readFile(st.responseFile.str()), expected);
    EXPECT_EQ(st.responseRecords, 8);

    // Model records: case, category, generalised item (rater + 2 item),
    // recoded index, flag.
    std::string model = int32Bytes({0, 1, 3, 1, 1}) + int32Bytes({1, 0, 0, 0, 1}) + int32Bytes({1, 1, 2, 1, 1}) +
                        int32Bytes({1, 2, 4, 2, 1}) + int32Bytes({1, 2, 1, 2, 1}) + int32Bytes({1, 0, 3, 0, 1}) +
                        int32Bytes({1, 1, 5, 1, 1}) + int32Bytes({2, 0, 0, 0, 0});
    EXPECT_EQ(readFile(st.modelFile.str()), model);

    // Case information: weight, 1, age. Case 0 lost its background (age
    // missing) and keeps the pre-written record; case 1 has the later
    // group's values; case 2 had no valid response and so weight 0.
    EXPECT_EQ(readFile(st.caseInfoFile.str()), doubleBytes({0, 1, 0, 3, 1, 35, 0, 1, 40}));
    EXPECT_EQ(readFile(st.groupFile.str()).substr(0, 1), "1");
    EXPECT_EQ(readFile(st.groupFile.str()).substr(2), "1F1F");
    EXPECT_EQ(readFile(st.identifierFile.str()), "010203");
    EXPECT_EQ(caseIdentifier(session, 1), "02");
    EXPECT_EQ(caseIdentifier(session, 3), "");

    EXPECT_EQ(ws.build.items, 6);
    EXPECT_EQ(ws.build.levelCounts, (std::vector<std::int32_t>{2, 3}));
    // Generalised items 2 and 3 (item 2) saw only categories 0 and 1.
    EXPECT_EQ(ws.build.categoryCount, (std::vector<std::int32_t>{3, 3, 2, 2, 3, 3}));

    // The reader gives each case once, in order; a placeholder is no
    // response, so the case of only a placeholder arrives without any.
    auto cases = readAll();
    ASSERT_EQ(cases.size(), 3u);
    EXPECT_EQ(cases[0].caseNumber, 0);
    EXPECT_EQ(cases[1].items, (std::vector<std::int32_t>{0, 2, 4, 1, 3, 5}));
    EXPECT_EQ(cases[1].categories, (std::vector<std::int32_t>{0, 1, 2, 2, 0, 1}));
    EXPECT_EQ(cases[2].caseNumber, 2);
    EXPECT_TRUE(cases[2].categories.empty());

    // The recoded variant leaves the placeholder out and gives the recoded indices.
    auto items = readAll(true);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_TRUE(items[2].items.empty());
    {
        Matrix recoded(kMaxCaseResponses, 1);
        ResponseReader reader(ws.data.passes, true);
        std::array<std::int32_t, kMaxCaseResponses> itemNo{}, rsp{};
        int caseNumber = -1;
        bool last = false;
        ASSERT_EQ(reader.open(session), 1);
        EXPECT_EQ(reader.next(caseNumber, itemNo.data(), rsp.data(), last, session, &recoded), 1);
        EXPECT_EQ(recoded[0][0], 1.0);
        EXPECT_EQ(reader.next(caseNumber, itemNo.data(), rsp.data(), last, session, &recoded), 6);
        EXPECT_EQ(recoded[2][0], 2.0);
        EXPECT_FALSE(last);
    }

    // Storage ram hands over the same cases.
    ASSERT_EQ(buildModelFile(session, true), 1);
    auto ram = readAll();
    ASSERT_EQ(ram.size(), cases.size());
    for (std::size_t c = 0; c < ram.size(); ++c) {
        EXPECT_EQ(ram[c].caseNumber, cases[c].caseNumber);
        EXPECT_EQ(ram[c].items, cases[c].items);
        EXPECT_EQ(ram[c].categories, cases[c].categories);
    }

    // Reset deletes every work file.
    std::vector<MString> names{st.responseFile, st.caseInfoFile, st.identifierFile, st.groupFile};
    ws.data.clearOnReset();
    for (const MString& n : names) EXPECT_FALSE(fileExists(n)) << n;
    EXPECT_EQ(ws.data.passes.cases, 0);
}

// A name is claimed when it is made: two requests in a row (as two runs in
// one folder make them) never get the same file, and a directory that holds
// a name is passed over.
TEST_F(DataPassTest, ScratchNamesAreClaimedWhenMade) {
    std::filesystem::create_directory("scrf005.1");
    const MString first = scratchFileName("scrf005.");
    const MString second = scratchFileName("scrf005.");
    EXPECT_TRUE(first.str().ends_with("/scrf005.2"));
    EXPECT_TRUE(second.str().ends_with("/scrf005.3"));
    EXPECT_TRUE(std::filesystem::is_regular_file(first.str()));
    EXPECT_TRUE(std::filesystem::is_regular_file(second.str()));
    EXPECT_EQ(std::filesystem::file_size(first.str()), 0u);
}

TEST_F(DataPassTest, WithoutIdentifierCasesAreRecordGroupsAndScratchNamesAreFresh) {
    data("012\n\n120", "responses 1-3");
    state(modelCommand, "item");
    writeFile("scrf004.1", "taken");
    ASSERT_EQ(buildModel(session), 1);
    const DataPassState& st = ws.data.passes;
    // A trailing empty line is a case of its own; a last line without a
    // line end is read.
    EXPECT_EQ(st.cases, 3);
    EXPECT_EQ(st.identifierCount, 0);
    EXPECT_EQ(caseIdentifier(session, 0), "");
    EXPECT_TRUE(st.modelFile.str().ends_with("/scrf004.2"));
    auto cases = readAll();
    ASSERT_EQ(cases.size(), 3u);
    EXPECT_EQ(cases[1].caseNumber, 1);
    EXPECT_TRUE(cases[1].categories.empty());  // its placeholder is no response
    EXPECT_EQ(cases[2].categories, (std::vector<std::int32_t>{1, 2, 0}));
    EXPECT_EQ(readFile(st.caseInfoFile.str()), doubleBytes({1, 1, 0, 1, 1, 1}));

    // CR LF line ends read as LF ones.
    std::string lfFile = readFile(st.modelFile.str());
    data("012\r\n\r\n120\r\n", "responses 1-3");
    ASSERT_EQ(buildModel(session), 1);
    EXPECT_EQ(readFile(ws.data.passes.modelFile.str()), lfFile);
}

// Regression values and weights are the longest decimal number at the start
// of their columns: signs, a fraction without digits before the point,
// exponents (used only when digits follow), words that are not numbers.
TEST_F(DataPassTest, RegressorsAndWeightsAreTheLongestNumberTheyStartWith) {
    const std::vector<std::pair<std::string, double>> values = {
        {"1e2", 100},     {"-2.5", -2.5}, {"+3", 3},       {".5", 0.5},       {"7.", 7},     {"1e", 1},
        {"2e+1x", 20},    {"-1E-1", -0.1}, {"  4", 4},     {"inf", 0},        {"nan", 0},    {"--1", 0},
        {"0x1A", 0},      {"1e999", 1e300}, {"-.25e1", -2.5}, {"3.5.1", 3.5},
    };
    const std::vector<std::pair<std::string, double>> weights = {{"2e0", 2}, {"1.5", 1.5}, {"    ", 0}, {" 3x", 3}};
    std::string text;
    for (std::size_t n = 0; n < values.size(); ++n) {
        std::string w = weights[n % weights.size()].first, x = values[n].first;
        w.resize(4, ' ');
        x.resize(8, ' ');
        text += w + x + "1\n";
    }
    data(text, "wt 1-4 x 5-12 responses 13");
    state(regressionCommand, "x");
    state(caseweightCommand, "wt");
    state(modelCommand, "item");
    ASSERT_EQ(buildModel(session), 1) << (shell.errors.empty() ? "" : shell.errors[0]);
    std::vector<double> expected;
    for (std::size_t n = 0; n < values.size(); ++n)
        expected.insert(expected.end(), {weights[n % weights.size()].second, 1.0, values[n].second});
    EXPECT_EQ(readFile(ws.data.passes.caseInfoFile.str()), doubleBytes(expected));
}

TEST_F(DataPassTest, DamagedDataFilesFailWithTheirMessages) {
    data("a1\nb2\nc3\nd4\ne5\n", "pid 1 / responses 1 / responses 2");
    state(modelCommand, "item");
    EXPECT_EQ(buildModel(session), -1);
    EXPECT_EQ(shell.errors, (std::vector<std::string>{"Record missing in data file"}));

    data(std::string(3071, '1') + "\n" + std::string(3072, '1') + "\n", "responses 1");
    shell.clear();
    EXPECT_EQ(buildModel(session), -1);
    EXPECT_EQ(shell.errors, (std::vector<std::string>{"Record missing in data file"}));
    data(std::string(3071, '1') + "\r\n", "responses 1");
    shell.clear();
    EXPECT_EQ(buildModel(session), 1) << (shell.errors.empty() ? "" : shell.errors[0]);

    data("", "responses 1");
    shell.clear();
    EXPECT_EQ(buildModel(session), -1);
    EXPECT_EQ(shell.errors, (std::vector<std::string>{" File data.txt doesn't exist or empty"}));

    // Binary junk with NUL bytes gives a result or a message, never a crash.
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        std::string junk;
        for (int i = 0; i < 5000; ++i) junk += static_cast<char>(random() % 256);
        junk[10] = '\0';
        data(junk, "pid 1-2 rater 3 responses 4-9");
        state(modelCommand, "rater + item");
        int rc = buildModel(session);
        EXPECT_TRUE(rc == 1 || !shell.errors.empty());
    }
}

TEST_F(DataPassTest, RepeatedAndMissingIdentifiersAndMissingFacetValues) {
    // Block 1 of case x has a missing rater (column 6) and gives nothing;
    // the group with a blank identifier writes nothing in pass two, though
    // its rater value C counts in pass one.
    data("xA0110.\n"
         " C1100B\n"
         "yB1010A\n"
         "xB    .\n",
         "pid 1 rater 2 rater 7 responses 3-4 responses 5-6");
    state(modelCommand, "rater + item");
    ASSERT_EQ(buildModel(session), 1) << (shell.errors.empty() ? "" : shell.errors[0]);
    const DataPassState& st = ws.data.passes;
    EXPECT_EQ(st.cases, 2);
    EXPECT_EQ(st.valueLists[0].values, (std::vector<MString>{"A", "B", "C"}));
    auto cases = readAll();
    ASSERT_EQ(cases.size(), 2u);
    // Case x: two responses of block 0 with rater A; the placeholder of its
    // second group (no valid response) zeroes its weight but is no response.
    EXPECT_EQ(cases[0].categories, (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(cases[1].categories.size(), 4u);
    std::string info = readFile(st.caseInfoFile.str());
    EXPECT_EQ(info.substr(0, 16), doubleBytes({0, 1}));
    EXPECT_EQ(info.substr(16), doubleBytes({1, 1}));
}

TEST_F(DataPassTest, LimitsOfCodesFacetLevelsAndResponsesPerCase) {
    auto codesFile = [](int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += std::to_string(10 + i) + "\n";
        return s;
    };
    data(codesFile(65), "responses 1-2 (a2)");
    state(modelCommand, "item");
    EXPECT_EQ(buildModel(session), 1);
    EXPECT_EQ(ws.data.passes.t2.size(), 65u);
    data(codesFile(66), "responses 1-2 (a2)");
    shell.clear();
    EXPECT_EQ(buildModel(session), -1);
    EXPECT_EQ(shell.errors, (std::vector<std::string>{" Too many levels in response values: 66"}));

    auto levelsFile = [](int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += std::to_string(1000 + i) + (i % 2 ? "1" : "0") + "\n";
        return s;
    };
    data(levelsFile(1000), "rater 1-4 responses 5");
    state(modelCommand, "rater");
    EXPECT_EQ(buildModel(session), 1);
    EXPECT_EQ(ws.build.items, 1000);
    data(levelsFile(1001), "rater 1-4 responses 5");
    shell.clear();
    EXPECT_EQ(buildModel(session), -1);
    EXPECT_EQ(shell.errors, (std::vector<std::string>{" Too many levels in facet rater"}));

    // Repeated identifiers pool their responses towards the 1000 bound.
    std::string lines;
    for (int i = 0; i < 100; ++i) lines += "A0101010101\n";
    data(lines, "pid 1 responses 2-11");
    state(modelCommand, "item");
    ASSERT_EQ(buildModel(session), 1);
    int rc = 0;
    auto cases = readAll(false, &rc);
    EXPECT_EQ(rc, 1);
    ASSERT_EQ(cases.size(), 1u);
    EXPECT_EQ(cases[0].items.size(), 1000u);
    data(lines + "A0101010101\n", "pid 1 responses 2-11");
    ASSERT_EQ(buildModel(session), 1);
    shell.clear();
    readAll(false, &rc);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(shell.errors, (std::vector<std::string>{"Too many item responses for one or more cases. This version is "
                                                      "limited to 1000 item responses for each case"}));
    shell.clear();
    readAll(true, &rc);
    EXPECT_EQ(rc, -1);
}

TEST_F(DataPassTest, EmptyModelFileAndInterruptedPass) {
    data(" 1\n 0\n", "pid 1 responses 2");
    state(modelCommand, "item");
    ASSERT_EQ(buildModel(session), 1);
    EXPECT_EQ(ws.data.passes.cases, 0);
    int rc = 0;
    auto none = readAll(false, &rc);
    EXPECT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0].caseNumber, -1);
    EXPECT_TRUE(none[0].items.empty());
    EXPECT_EQ(rc, 1);

    data("1\n0\n", "responses 1");
    shell.stopRequests = 1;
    EXPECT_EQ(buildModel(session), -1);
    EXPECT_EQ(shell.questions, (std::vector<std::string>{"Do you want to interrupt the current analysis?"}));
    EXPECT_TRUE(shell.errors.empty());
}

}  // namespace
}  // namespace ordena::test
