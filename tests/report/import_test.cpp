// The import statement and the import file reader: the records of each
// kind, comments, and malformed files of every sort, none of which may
// crash the reader or leave values of the failed kind behind.
#include <random>

#include "report/export_fixture.h"

namespace ordena::test {
namespace {

using Messages = std::vector<std::string>;

struct Record {
    int kind, first, second;
    float value;
    bool operator==(const Record&) const = default;
};

std::vector<Record> records(const std::vector<AnchorEntry>& anchors) {
    std::vector<Record> out;
    for (const AnchorEntry& e : anchors) out.push_back({e.kind, e.first, e.second, e.value});
    return out;
}

class ImportTest : public ExportFixture {
protected:
    int import(const std::string& clause, const std::string& file, const std::string& content) {
        writeFile(file, content);
        return run(handleImport, clause + " << " + file);
    }
    std::vector<Record> anchors() const { return records(ws.est.anchors); }
};

// The delimited parameter table of show parameters ! format=csv: the
// number and estimate of each line; quoted descriptions with commas, CR LF
// and a byte-order mark change nothing. A damaged line fails the kind.
TEST_F(ImportTest, TheDelimitedParameterTableReadsItsNumbersAndEstimates) {
    const std::string table =
        "\xEF\xBB\xBFparameter,estimate,error,unweighted_mnsq,unweighted_t,weighted_mnsq,weighted_t,description\r\n"
        "1,-1.25,0.1,NA,NA,NA,NA,\"item 1, the first\"\r\n"
        "\r\n"
        "3,0.5,NA,1,0,1,0,item 3\r\n";
    ASSERT_EQ(import("anchor_parameters", "t.csv", table), 1);
    EXPECT_EQ(anchors(), (std::vector<Record>{{0, 0, 0, -1.25f}, {0, 2, 0, 0.5f}}));
    EXPECT_TRUE(shell.errors.empty());

    EXPECT_EQ(import("init_parameters", "u.csv", "parameter,estimate\n1,NA\n"), -1);
    EXPECT_EQ(shell.errors, (Messages{"Expecting number for parameter 1. Value read was 'NA'",
                                      "Error in import file format: u.csv"}));
    EXPECT_EQ(import("anchor_parameters", "v.csv", "parameter,estimate\n1,\"2\n"), -1);
    EXPECT_EQ(shell.errors, (Messages{"Error in import file format: v.csv"}));
    // A failed file leaves no values of its kind.
    EXPECT_TRUE(anchors().empty());
}

TEST_F(ImportTest, RecordsOfEachKindInFileOrder) {
    ASSERT_EQ(import("anchor_parameters", "a.prm", "3 0.5\n1\t-0.25\n"), 1);
    EXPECT_EQ(anchors(), (std::vector<Record>{{0, 2, 0, 0.5f}, {0, 0, 0, -0.25f}}));
    EXPECT_EQ(ws.files.importFiles[kAnchorItem], "a.prm");

    const std::string regression = "         1           0     0.10000\r\n         1           1    -2.50000\r\n";
    ASSERT_EQ(import("init_reg", "r.reg", regression), 1);
    ASSERT_EQ(import("init_cov", "c.cov", "1 1 1.5 1 2 0.3 2 2 2.5"), 1);
    ASSERT_EQ(import("anchor_reg", "ar.reg", "2 0 1"), 1);
    ASSERT_EQ(import("anchor_cov", "ac.cov", "1 1 0.8"), 1);
    ASSERT_EQ(import("init_par", "i.prm", "+2 .5"), 1);
    EXPECT_EQ(anchors(), (std::vector<Record>{{0, 2, 0, 0.5f},
                                              {0, 0, 0, -0.25f},
                                              {3, 0, 0, 0.1f},
                                              {3, 0, 1, -2.5f},
                                              {5, 0, 0, 1.5f},
                                              {5, 0, 1, 0.3f},
                                              {5, 1, 1, 2.5f},
                                              {2, 1, 0, 1.0f},
                                              {4, 0, 0, 0.8f},
                                              {1, 1, 0, 0.5f}}));
    EXPECT_TRUE(shell.errors.empty());
    EXPECT_TRUE(shell.warnings.empty());

    // Importing a kind again replaces only that kind's records.
    ASSERT_EQ(import("anchor_parameters", "b.prm", "/* one */ 4 1.0 /* two */\n"), 1);
    EXPECT_EQ(anchors().size(), 9u);
    EXPECT_EQ(anchors().back(), (Record{0, 3, 0, 1.0f}));
    EXPECT_EQ(ws.files.importFiles[kAnchorItem], "b.prm");

    // A reset forgets the lists and the names.
    ASSERT_EQ(executeStatement(session, "reset"), 1);
    EXPECT_TRUE(ws.est.anchors.empty());
    EXPECT_TRUE(ws.files.importFiles[kAnchorItem].isEmpty());
}

TEST_F(ImportTest, ExportedFilesImportUnchanged) {
    buildThreeItems();
    fillEstimate(1, 2);
    ASSERT_EQ(run(handleExport, "parameters >> e.prm, reg >> e.reg, cov >> e.cov"), 1);
    ASSERT_EQ(run(handleImport, "anchor_parameters << e.prm, anchor_reg << e.reg, anchor_cov << e.cov"), 1);
    std::vector<Record> expected;
    for (int p = 0; p < 5; ++p) expected.push_back({0, p, 0, static_cast<float>(ws.est.xsi[p][0])});
    expected.push_back({2, 0, 0, 0.1f});
    expected.push_back({2, 0, 1, 0.225f});
    expected.push_back({4, 0, 0, 1.5f});
    EXPECT_EQ(anchors(), expected);
}

TEST_F(ImportTest, StatementMessages) {
    writeFile("there.prm", "1 0.5");
    struct Case {
        const char* arguments;
        Messages errors;
    };
    const Case cases[] = {
        {"", {"Nothing specified in import statement"}},
        {"anchor_parameters < there.prm", {"Two '<' expected in import statement"}},
        {"anchor_parameters", {"Error in import statement"}},
        {"<< there.prm", {"'<' expected in import statement"}},
        {"anchor_parameters << missing.prm", {"Import file cannot be opened"}},
        {"anchor_parameters <<  ", {"Import file cannot be opened"}},
        {"bogus << there.prm",
         {"Unknown command or argument: 'bogus'", "Processing of the import terminated at this command"}},
        {"anchor << there.prm",
         {" Ambiguous command word", "Processing of the import terminated at this command"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(handleImport, c.arguments), -1) << c.arguments;
        EXPECT_EQ(shell.errors, c.errors) << c.arguments;
    }
    EXPECT_TRUE(ws.est.anchors.empty());

    // The design matrix is only named; it is read when the model is built.
    writeFile("d.des", "not a design");
    EXPECT_EQ(run(handleImport, "designmatrix << d.des"), 1);
    EXPECT_EQ(ws.files.importDesignFile, "d.des");
    EXPECT_TRUE(ws.est.anchors.empty());

    // Clauses before a failing one keep their effect.
    EXPECT_EQ(run(handleImport, "init_parameters << there.prm, init_covariance << missing.cov"), -1);
    EXPECT_EQ(anchors(), (std::vector<Record>{{1, 0, 0, 0.5f}}));
}

TEST_F(ImportTest, FailedFilesLeaveNoValuesOfTheirKind) {
    ASSERT_EQ(import("anchor_parameters", "keep.prm", "1 0.5"), 1);
    ASSERT_EQ(import("anchor_cov", "good.cov", "1 1 0.9"), 1);

    // The second index below the first.
    EXPECT_EQ(import("anchor_covariance", "bad.cov", "2 1 0.3"), -1);
    EXPECT_EQ(shell.errors, (Messages{"Error in bad.cov--the second index is less than the first",
                                      "Processing of import files will terminate",
                                      "Values that have already been imported will be intact"}));
    EXPECT_EQ(anchors(), (std::vector<Record>{{0, 0, 0, 0.5f}}));
    EXPECT_TRUE(ws.files.importFiles[kAnchorCovariance].isEmpty());

    // A value that is not a number: initial item values say which.
    EXPECT_EQ(import("init_parameters", "abc.prm", "1 abc"), -1);
    EXPECT_EQ(shell.errors, (Messages{"Expecting number for parameter 1. Value read was 'abc'",
                                      "Error in import file format: abc.prm"}));
    EXPECT_EQ(import("anchor_parameters", "abc.prm", "1 0.5 2 abc"), -1);
    EXPECT_EQ(shell.errors, (Messages{"Error in import file format: abc.prm"}));
    EXPECT_TRUE(anchors().empty());
}

TEST_F(ImportTest, MalformedContentNeverPassesForNumbers) {
    const char* const bad[] = {
        "x 0.5",           // text for an index
        "1.5 0.5",         // an index that is not an integer
        "1 1e3",           // the numeric check refuses exponents
        "1 1.2.3",         // nor several points
        "1 -.",            // nor a sign and a point alone
        "1 nan",           "1 inf",
        "99999999999 1",   // an index beyond every range
        "-2147483648 1",   // one whose number from 0 would not fit
        "1 0.5,2 0.5",     // a comma joins two numbers into one token
    };
    for (const char* content : bad) {
        EXPECT_EQ(import("anchor_parameters", "m.prm", content), -1) << content;
        EXPECT_EQ(shell.errors.back(), "Error in import file format: m.prm") << content;
        EXPECT_TRUE(ws.est.anchors.empty()) << content;
    }
    // A value beyond single precision cannot be held.
    EXPECT_EQ(import("anchor_parameters", "big.prm", "1 1" + std::string(60, '0')), -1);

    // Unbalanced comments fail as in a script.
    EXPECT_EQ(import("anchor_parameters", "c.prm", "1 0.5 /* open\n2 0.5 */\n"), -1);
    EXPECT_EQ(shell.errors, (Messages{" Comment characters not in correct order"}));

    // Binary content.
    EXPECT_EQ(import("anchor_parameters", "bin.prm", std::string("\x7f" "ELF\0\x01\x02\xff\xfe 1 2", 14)), -1);
    EXPECT_EQ(shell.errors, (Messages{"Error in import file format: bin.prm"}));
    EXPECT_EQ(import("anchor_parameters", "nul.prm", std::string("1\0 0.5", 6)), -1);
    EXPECT_TRUE(ws.est.anchors.empty());

    // A device that never ends is not read.
    EXPECT_EQ(run(handleImport, "anchor_parameters << /dev/zero"), -1);
    EXPECT_EQ(shell.errors, (Messages{"Error opening file /dev/zero"}));
}

TEST_F(ImportTest, EmptyAndTruncatedFilesKeepTheCompleteRecordsAndSaySo) {
    EXPECT_EQ(import("anchor_parameters", "empty.prm", ""), 1);
    EXPECT_EQ(shell.warnings, (Messages{"No values were found in import file empty.prm"}));
    EXPECT_EQ(import("anchor_parameters", "comments.prm", "/* nothing */\r\n  \r\n"), 1);
    EXPECT_EQ(shell.warnings, (Messages{"No values were found in import file comments.prm"}));
    EXPECT_TRUE(ws.est.anchors.empty());

    EXPECT_EQ(import("anchor_parameters", "short.prm", "1 0.5\n2"), 1);
    EXPECT_EQ(shell.warnings,
              (Messages{"The last record of import file short.prm is incomplete and has been ignored"}));
    EXPECT_EQ(anchors(), (std::vector<Record>{{0, 0, 0, 0.5f}}));
    EXPECT_EQ(import("init_reg", "short.reg", "1 0 0.5 1 1"), 1);
    EXPECT_EQ(anchors().size(), 2u);
    EXPECT_EQ(shell.warnings.size(), 1u);
    EXPECT_TRUE(shell.errors.empty());
}

TEST_F(ImportTest, RandomBytesNeverCrashTheReader) {
    std::mt19937 rng(20261209);
    const std::string alphabet = std::string("0123456789 .-+\t\r\n/*eEx", 23) + std::string("\0\xff", 2);
    for (int round = 0; round < 400; ++round) {
        std::string content;
        std::size_t n = rng() % 200;
        for (std::size_t i = 0; i < n; ++i)
            content += (rng() % 4 == 0) ? static_cast<char>(rng() % 256) : alphabet[rng() % alphabet.size()];
        const int kind = static_cast<int>(rng() % kImportKinds);
        std::vector<AnchorEntry> out;
        int rc = readImportText(session, "r.txt", content, kind, out);
        ASSERT_TRUE(rc == 1 || rc == -1);
        for (const AnchorEntry& e : out) {
            EXPECT_EQ(e.kind, kind);
            if (kind >= kAnchorCovariance && rc == 1) {
                EXPECT_GE(e.second, e.first);
            }
        }
    }
}

}  // namespace
}  // namespace ordena::test
