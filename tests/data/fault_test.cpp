// Faults from outside during the data passes and the model build: awkward
// but legitimate data files are read correctly; a working directory that
// takes no files, a data file deleted, cut or changed between statements or
// passes, and a work file cut under a reading pass end in a clear error and
// a failed step, never a crash or a report of success.
#include <unistd.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "data/data_passes.h"
#include "data/response_reader.h"
#include "model/model_builder.h"
#include "support/work_dir.h"

namespace ordena::test {
namespace {

struct Case {
    int number = -1;
    std::vector<int> items, categories;
};

class FaultTest : public WorkDirTest {
protected:
    int build() {
        shell.clear();
        ws.dataPassNeeded = 1;
        return buildModel(session);
    }
    // Every case the response reader hands out; fails the test when it reports an error.
    std::vector<Case> cases() {
        std::vector<Case> out;
        ResponseReader reader(ws.data.passes);
        EXPECT_EQ(reader.open(session), 1);
        std::array<std::int32_t, kMaxCaseResponses> itemNo{}, rsp{};
        bool last = false;
        while (!last) {
            Case c;
            int n = reader.next(c.number, itemNo.data(), rsp.data(), last, session);
            EXPECT_GE(n, 0) << (shell.errors.empty() ? "" : shell.errors.back());
            if (n < 0) break;
            for (int i = 0; i < n; ++i) {
                c.items.push_back(itemNo[static_cast<std::size_t>(i)]);
                c.categories.push_back(rsp[static_cast<std::size_t>(i)]);
            }
            if (c.number >= 0) out.push_back(c);
        }
        return out;
    }
    std::string lastError() const { return shell.errors.empty() ? std::string() : shell.errors.back(); }
};

// Categories are positions in the sorted code table: with codes 0 and 1
// present they are the digits themselves.
TEST_F(FaultTest, MixedLineEndsAndALastLineWithoutLineEnd) {
    data("01\r\n10\n11\r\n00", "responses 1-2");
    state(modelCommand, "item");
    ASSERT_EQ(build(), 1) << lastError();
    std::vector<Case> got = cases();
    ASSERT_EQ(got.size(), 4u);
    const std::vector<std::vector<int>> expected = {{0, 1}, {1, 0}, {1, 1}, {0, 0}};
    for (std::size_t n = 0; n < got.size(); ++n) {
        EXPECT_EQ(got[n].number, static_cast<int>(n));
        EXPECT_EQ(got[n].categories, expected[n]) << n;  // no CR taken as a response
    }
}

// A record ends at a zero byte, as any text does: what follows it is not
// read, so no zero byte becomes a code, an identifier or a label.
TEST_F(FaultTest, ARecordEndsAtAZeroByte) {
    data(std::string("a 01\n" "b 1\0" "1\n" "c\0" " 10\n" "d 10\n", 22), "pid 1 responses 3-4");
    state(modelCommand, "item");
    ASSERT_EQ(build(), 1) << lastError();
    EXPECT_EQ(ws.data.passes.cases, 4);
    EXPECT_EQ(ws.data.passes.t2, (std::vector<MString>{"0", "1"}));
    std::vector<Case> got = cases();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].categories, (std::vector<int>{0, 1}));
    EXPECT_EQ(got[1].categories, (std::vector<int>{1}));  // item 2 lay after the zero byte
    EXPECT_TRUE(got[2].categories.empty());               // nothing but the identifier
    EXPECT_EQ(got[3].categories, (std::vector<int>{1, 0}));
    for (int n = 0; n < 4; ++n) EXPECT_EQ(caseIdentifier(session, n).str().find('\0'), std::string::npos);
}

TEST_F(FaultTest, LinesOfOneHundredThousandCharacters) {
    // The longest line allowed is read whole; a longer one ends the pass
    // with the data file's error, however long it is.
    std::string first(3071, '1'), second(3071, '1');
    first[0] = '0';
    data(first + "\n" + second + "\n", "responses 1, 3071");
    state(modelCommand, "item");
    ASSERT_EQ(build(), 1) << lastError();
    EXPECT_EQ(cases().size(), 2u);

    data("01\n" + std::string(100'000, '1') + "\n10\n", "responses 1-2");
    state(modelCommand, "item");
    EXPECT_EQ(build(), -1);
    EXPECT_EQ(lastError(), "Record missing in data file");

    // One line of 100,000 characters without any line end at all.
    data(std::string(100'000, '0'), "responses 1-2");
    state(modelCommand, "item");
    EXPECT_EQ(build(), -1);
    EXPECT_EQ(lastError(), "Record missing in data file");
}

TEST_F(FaultTest, DataFileDeletedOrEmptiedBetweenStatements) {
    data("01\n10\n", "responses 1-2");
    state(modelCommand, "item");
    ASSERT_EQ(build(), 1) << lastError();
    std::filesystem::remove("data.txt");
    state(codesCommand, "0,1");  // marks the data passes as needed
    EXPECT_EQ(build(), -1);
    EXPECT_EQ(lastError(), " Error opening input file data.txt");

    writeFile("data.txt", "");
    EXPECT_EQ(build(), -1);
    EXPECT_EQ(lastError(), " File data.txt doesn't exist or empty");
}

TEST_F(FaultTest, DataFileChangedBetweenThePasses) {
    // Cut to half a record group: the second pass finds the group incomplete.
    data("1 01\n2 10\n3 11\n4 00\n", "pid 1 / responses 1-2");
    state(modelCommand, "item");
    ASSERT_EQ(build(), 1) << lastError();  // sets up the lists the passes read
    ASSERT_EQ(dataPassOne(session), 1);
    writeFile("data.txt", "1 01\n2 10\n3\n");
    EXPECT_EQ(dataPassTwo(session), -1);
    EXPECT_EQ(lastError(), "Record missing in data file");

    // A new identifier appears: it has no case number.
    data("a01\nb10\n", "pid 1 responses 2-3");
    state(modelCommand, "item");
    ASSERT_EQ(build(), 1) << lastError();
    ASSERT_EQ(dataPassOne(session), 1);
    writeFile("data.txt", "a01\nc10\n");
    EXPECT_EQ(dataPassTwo(session), -1);
    EXPECT_EQ(lastError(), "Building temporary file -  Can't find Pid code in look-up table");
}

TEST_F(FaultTest, DataFileGrownBetweenThePassesKeepsTheCasesOfPassOne) {
    // Without identifiers a group past the count of pass one is no case:
    // no case number may reach past the case count.
    data("01\n10\n", "responses 1-2");
    state(modelCommand, "item");
    ASSERT_EQ(build(), 1) << lastError();
    ASSERT_EQ(dataPassOne(session), 1);
    writeFile("data.txt", "01\n10\n11\n00\n");
    ASSERT_EQ(dataPassTwo(session), 1);
    EXPECT_EQ(ws.data.passes.cases, 2);
    ASSERT_EQ(buildModelFile(session, false), 1);
    std::vector<Case> got = cases();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got.back().number, 1);
}

TEST_F(FaultTest, WorkingDirectoryThatTakesNoFiles) {
    // /proc takes no new files, not even from root; the data file is named
    // by its full path.
    writeFile("data.txt", "a01\nb10\n");
    const std::string data = (std::filesystem::current_path() / "data.txt").string();
    state(datafileCommand, data);
    state(formatCommand, "pid 1 responses 2-3");
    state(modelCommand, "item");
    const auto here = std::filesystem::current_path();
    ASSERT_EQ(::chdir("/proc"), 0);
    int rc = build();
    std::vector<std::string> errors = shell.errors;
    std::filesystem::current_path(here);
    EXPECT_EQ(rc, -1);
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back().rfind("Open failure to scratch file /proc/scrf", 0), 0u) << errors.back();
}

TEST_F(FaultTest, ModelFileCutOrRemovedUnderTheResponseReader) {
    data("01\n10\n11\n", "responses 1-2");
    state(modelCommand, "item");
    ASSERT_EQ(build(), 1) << lastError();
    const std::string modelFile = ws.data.passes.modelFile.str();
    ASSERT_FALSE(modelFile.empty());

    // Cut to one and a half records: the reader must not end the cases as if all were read.
    std::filesystem::resize_file(modelFile, kModelRecordBytes + kModelRecordBytes / 2);
    ResponseReader reader(ws.data.passes);
    ASSERT_EQ(reader.open(session), 1);
    std::array<std::int32_t, kMaxCaseResponses> itemNo{}, rsp{};
    bool last = false;
    int caseNumber = -1;
    shell.clear();
    EXPECT_EQ(reader.next(caseNumber, itemNo.data(), rsp.data(), last, session), -1);
    EXPECT_EQ(lastError(), "The scratch file " + modelFile + " ends before its last record");

    // Removed: the next pass cannot open it.
    std::filesystem::remove(modelFile);
    shell.clear();
    EXPECT_EQ(reader.open(session), -1);
    EXPECT_EQ(lastError(), "Open failure to scratch file " + modelFile);
}

TEST_F(FaultTest, GroupValueBeyondAShortLine) {
    // A line that ends before the group column: the value is empty, not read
    // from nowhere (the sanitizer build checks the copy).
    data("1 1 0101\n\n2 2 1010\n", "gender 1 age 3 responses 5-8");
    state(groupCommand, "gender");
    state(modelCommand, "item");
    ASSERT_EQ(build(), 1) << lastError();
    EXPECT_EQ(cases().size(), 3u);
}

}  // namespace
}  // namespace ordena::test
