// System files: a workspace saved by put and restored by get gives the same
// reports, case output, item analysis, fit, export files and further
// estimates as the workspace that was saved, with the data file gone; the
// work files are written back byte for byte; a second put of the restored
// workspace writes the same file. Damaged, truncated, oversized and foreign
// files are refused with their message and leave the workspace as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "base/random.h"
#include "data/data_passes.h"
#include "report/system_file.h"
#include "support/script_session.h"

namespace ordena::test {
namespace {

namespace fs = std::filesystem;

// Whether text holds, from at, characters of the shape: 'A' an upper-case
// letter, 'a' a lower-case one, '9' a digit, '_' a blank or a digit, any
// other character itself.
bool shapedAt(const std::string& text, std::size_t at, const std::string& shape) {
    if (at > text.size() || text.size() - at < shape.size()) return false;
    for (std::size_t k = 0; k < shape.size(); ++k) {
        const unsigned char c = static_cast<unsigned char>(text[at + k]);
        const bool fits = shape[k] == 'A'   ? std::isupper(c) != 0
                          : shape[k] == 'a' ? std::islower(c) != 0
                          : shape[k] == '9' ? std::isdigit(c) != 0
                          : shape[k] == '_' ? c == ' ' || std::isdigit(c) != 0
                                            : c == static_cast<unsigned char>(shape[k]);
        if (!fits) return false;
    }
    return true;
}

// The report headers' dates, which differ from run to run, as "DATE".
std::string withoutDates(const std::string& text) {
    const std::string shape = "Aaa Aaa _9 99:99 9999";
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        if (shapedAt(text, at, shape)) {
            out += "DATE";
            at += shape.size();
        } else {
            out += text[at++];
        }
    }
    return out;
}

const char* const kDataFiles[] = {"verbagg.dat", "twodim.dat", "raters.dat"};

std::string testData(const std::string& path) { return std::string(ORDENA_TEST_DATA) + "/" + path; }

// One analysis of the round trip: its data files and the statements up to
// and including its estimate.
struct Analysis {
    const char* name;
    const char* script;
    bool caseOutput;      // show cases is available (normal population)
    const char* reports;  // statements of its own besides the common ones
    bool jml = false;     // joint maximum likelihood: its own reports
};

const Analysis kAnalyses[] = {
    {"rasch", "datafile verbagg.dat; format pid 1-3 responses 10-33; model item; estimate;", true, ""},
    {"partial credit with regression",
     "datafile verbagg.dat; format pid 1-3 gender 5 anger 7-8 responses 35-58; regression gender anger;"
     " model item + item*step; estimate ! abilities=yes;",
     true, ""},
    {"two dimensions",
     "datafile twodim.dat; format pid 1-3 x 5-8 responses 10-15; scores (0,1) (0,1) () ! item(1-3);"
     " scores (0,1) () (0,1) ! item(4-6); regression x; labels 1 Reading ! dimensions; model item;"
     " estimate ! abilities=yes;",
     true, ""},
    {"facets",
     "title Raters and steps; datafile raters.dat; format pid 1-3 rater 5 responses 7-10; codes 0,1,2;"
     " labels 1 Alice ! rater; labels 4 \"Fourth item\" ! item; model item + rater + item*step;"
     " estimate ! stderr=full;",
     true, "show ! tables=10 >> t10.txt;"},
    {"anchored",
     "datafile verbagg.dat; format pid 1-3 gender 5 responses 10-33; model item; estimate ! iter=5;"
     " export parameters >> anchors.prm; import anchor_parameters << anchors.prm; regression gender; estimate;",
     true, ""},
    {"monte carlo in memory without case identifiers",
     "datafile verbagg.dat; format responses 10-33; model item;"
     " estimate ! storage=ram, method=montecarlo, nodes=300;",
     true, "estimate ! storage=ram, iter=10; show ! tables=2 >> ram.txt;"},
    {"an implicit facet outside the model",
     "datafile verbagg.dat; format pid 1-3 responses 10-33 ! mode(2), item(12); facets mode; model item; estimate;",
     true, ""},
    {"coding rules, groups and weights",
     "datafile verbagg.dat; format pid 1-3 gender 5 anger 7-8 responses 35-44; codes 0,1,2;"
     " recodes (2) (1) ! item(1-3); missing 9 ! anger; group gender; caseweight anger; labels 1 Male ! gender;"
     " itemgroup first item(1-5); model item + item*step - gender; set n_plausible=2, p_nodes=500, seed=7;"
     " estimate;",
     true, ""},
    {"a scoring key: categories that are not the codes",
     "datafile verbagg.dat; format pid 1-3 responses 35-44; codes 0,1,2; key 2222222222 ! 1; model item; estimate;",
     true, ""},
    {"discrete population",
     "datafile verbagg.dat; format pid 1-3 responses 10-20; model item;"
     " estimate ! distribution=discrete, method=quadrature, nodes=10;",
     false, ""},
    {"joint maximum likelihood",
     "datafile verbagg.dat; format pid 1-3 responses 10-33; model item; estimate ! method=jml, convergence=0.00001;",
     true, "", true},
};

class SystemFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        s.copyReference("verbagg.dat");
        s.writeFile("twodim.dat", readFileAt(testData("scripts/show_two_dimensions/twodim.dat")));
        s.writeFile("raters.dat", readFileAt(testData("scripts/show_raters/raters.dat")));
    }

    static std::string readFileAt(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Runs statements one by one; the output of each, and then every file
    // they wrote, in order. A failed statement fails the test.
    std::vector<std::pair<std::string, std::string>> reports(const std::vector<std::string>& statements) {
        std::set<fs::path> before;
        for (const auto& entry : fs::directory_iterator(s.dir())) before.insert(entry.path());
        std::vector<std::pair<std::string, std::string>> out;
        for (const std::string& statement : statements) {
            s.shell.output.clear();
            EXPECT_EQ(s.run(statement), 1) << statement << ": " << errors();
            out.emplace_back(statement, withoutDates(s.shell.output));
        }
        for (const auto& entry : fs::directory_iterator(s.dir())) {
            if (before.count(entry.path()) || entry.path().filename().string().rfind("scrf", 0) == 0) continue;
            const std::string name = entry.path().filename().string();
            out.emplace_back(name, withoutDates(s.readFile(name)));
            fs::remove(entry.path());
        }
        std::sort(out.begin() + static_cast<std::ptrdiff_t>(statements.size()), out.end());
        return out;
    }

    std::string errors() const {
        std::string all;
        for (const std::string& e : s.shell.errors) all += e + "; ";
        return all;
    }

    std::string bytes(const MString& name) { return readFileAt(name.str()); }

    ScriptSession s;
};

std::vector<std::string> roundTripReports(const Analysis& a) {
    if (a.jml)
        return {"show ! tables=1:2:4:5:6:7:8:9 >> show.txt;", "show cases >> cases.txt;",
                "show cases ! estimates=wle >> cases-wle.txt;", "itanal >> itanal.txt;",
                "itanal ! estimates=mle >> itanal-mle.txt;", "fit;", "fit 1-3 : 4;",
                "plot expected 1-2 ! table=yes >> plot.txt;",
                "equivalence mle >> equivalence.txt;", "descriptives ! estimates=mle >> descriptives.txt;",
                "export parameters >> p.txt, designmatrix >> d.txt, scoreddata >> s.txt;",
                "estimate ! method=jml, iter=30;", "show ! tables=1:2:4 >> estimated.txt;",
                "show cases ! estimates=wle >> estimated-wle.txt;"};
    std::vector<std::string> r = {"show ! tables=1:2:3:4:5:6:7:8:9 >> show.txt;"};
    if (*a.reports) r.push_back(a.reports);
    if (a.caseOutput) {
        for (const char* kind : {"latent", "eap", "mle", "wle"})
            r.push_back(std::string("show cases ! estimates=") + kind + " >> cases-" + kind + ".txt;");
        r.push_back("equivalence mle >> equivalence.txt;");
        r.push_back("descriptives ! estimates=wle >> descriptives.txt;");
    }
    for (const char* more : {"show ! tables=1:3:4 >> again.txt;", "itanal >> itanal.txt;",
                             "plot icc 1-2 ! table=yes, estimates=wle >> plot.txt;",
                             "itanal ! estimates=wle, format=export >> itanal-export.txt;", "fit;", "fit 1-3 : 4;",
                             "export parameters >> p.txt, designmatrix >> d.txt, reg_coefficients >> r.txt,"
                             " covariance >> c.txt, scoreddata >> s.txt;",
                             "estimate ! iter=30;", "show >> estimated.txt;"})
        r.push_back(more);
    if (a.caseOutput) r.push_back("show cases ! estimates=wle >> estimated-wle.txt;");
    return r;
}

// Each analysis is a case of its own: one estimate, its reports twice.
class SystemFileRoundTrip : public SystemFileTest, public ::testing::WithParamInterface<Analysis> {};

// The analysis's name in CamelCase: the test's name, and what the test
// lists print for its parameter.
std::string camelCase(const char* text) {
    std::string name;
    bool upper = true;
    for (const char* c = text; *c != '\0'; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c)) == 0) {
            upper = true;
            continue;
        }
        name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*c))) : *c;
        upper = false;
    }
    return name;
}
std::string analysisName(const ::testing::TestParamInfo<Analysis>& info) { return camelCase(info.param.name); }
void PrintTo(const Analysis& a, std::ostream* out) { *out << camelCase(a.name); }

INSTANTIATE_TEST_SUITE_P(Analyses, SystemFileRoundTrip, ::testing::ValuesIn(kAnalyses), analysisName);

TEST_P(SystemFileRoundTrip, ReportsFilesAndFurtherEstimatesAreTheSameWithoutTheData) {
    const Analysis& a = GetParam();
    ASSERT_EQ(s.runAllOf(a.script), 1) << errors();
    ASSERT_EQ(s.run("put >> saved.zrs;"), 1) << errors();
    const auto before = reports(roundTripReports(a));
    ASSERT_EQ(s.run("reset;"), 1);
    for (const char* data : kDataFiles) fs::rename(data, std::string(data) + ".away");
    ASSERT_EQ(s.run("get << saved.zrs;"), 1) << errors();
    const auto after = reports(roundTripReports(a));
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t k = 0; k < before.size(); ++k) {
        EXPECT_EQ(before[k].first, after[k].first);
        EXPECT_EQ(before[k].second, after[k].second) << before[k].first;
    }
    // The reports say something: tables, cases and a second estimate.
    EXPECT_NE(before[0].second.find("=>show"), std::string::npos);
}

// The header's two texts and the version, then what a second put of the
// restored workspace must reproduce byte for byte.
std::string afterHeader(const std::string& file) {
    std::size_t at = 0;
    for (int text = 0; text < 2; ++text) {
        std::int32_t n = 0;
        std::memcpy(&n, file.data() + at, 4);
        at += 4 + static_cast<std::size_t>(n);
    }
    return file.substr(at);
}

TEST_P(SystemFileRoundTrip, WorkFilesComeBackByteForByteAndASecondPutWritesTheSameFile) {
    const Analysis& a = GetParam();
    ASSERT_EQ(s.runAllOf(a.script), 1) << errors();
    // Settings the file stores in a row of their own, away from their
    // defaults, so that fields read into a neighbour's place show.
    ASSERT_EQ(s.run("set warnings=no, logestimates=no, keeplastests=yes, mle_max=7.5, update=yes;"), 1);
    ASSERT_EQ(s.run("put >> saved.zrs;"), 1) << errors();
    const DataPassState& p = s.session.ws.data.passes;
    const bool ram = p.ramStorage;
    // Where pass two made the model records, they stand for the response
    // file: it is made from them to be compared.
    ASSERT_EQ(writeResponseFile(s.session), 1);
    const std::vector<std::string> files = {bytes(s.session.ws.est.caseScoreFile), bytes(p.caseInfoFile),
                                            bytes(p.groupFile), bytes(p.identifierFile),
                                            ram ? std::string() : bytes(p.modelFile), bytes(p.responseFile)};
    const double nextDraw = RanUniform(s.session.uniform).draw();
    ASSERT_EQ(s.run("reset; get << saved.zrs;"), 1) << errors();

    const Workspace& ws = s.session.ws;
    EXPECT_FALSE(ws.settings.warnings);
    EXPECT_FALSE(ws.settings.logestimates);
    EXPECT_TRUE(ws.settings.keeplastests);
    EXPECT_EQ(ws.settings.mle_max, 7.5);
    EXPECT_TRUE(ws.settings.update);
    EXPECT_EQ(ws.dataPassNeeded, 0);
    EXPECT_EQ(ws.est.estimated, 1);
    EXPECT_EQ(RanUniform(s.session.uniform).draw(), nextDraw);
    const DataPassState& q = ws.data.passes;
    EXPECT_EQ(bytes(ws.est.caseScoreFile), files[0]);
    EXPECT_EQ(bytes(q.caseInfoFile), files[1]);
    EXPECT_EQ(bytes(q.groupFile), files[2]);
    EXPECT_EQ(bytes(q.identifierFile), files[3]);
    if (!ram) {
        EXPECT_EQ(bytes(q.modelFile), files[4]);
    }
    // The model file stands for the response file until one is needed;
    // implicit facets outside the model need it at once.
    const bool outside = ws.model.lastFacets.implicitCount() > ws.model.modelVariableList.implicitCount();
    EXPECT_EQ(q.responseFile.isEmpty(), !outside);
    EXPECT_EQ(q.responsesInModelFile, !outside);
    ASSERT_EQ(writeResponseFile(s.session), 1);
    EXPECT_EQ(bytes(q.responseFile), files[5]);

    const std::string first = bytes("saved.zrs");
    ASSERT_EQ(s.run("put >> again.zrs;"), 1) << errors();
    const std::string second = bytes("again.zrs");
    EXPECT_EQ(afterHeader(first).size(), afterHeader(second).size());
    EXPECT_TRUE(afterHeader(first) == afterHeader(second));
}

TEST_F(SystemFileTest, HeaderIsShownAndNamesTheBuild) {
    ASSERT_EQ(s.runAllOf(kAnalyses[0].script), 1) << errors();
    ASSERT_EQ(s.run("put >> saved.zrs;"), 1);
    s.shell.output.clear();
    ASSERT_EQ(s.run("get << saved.zrs;"), 1);
    const std::string build = buildDateText().str();
    EXPECT_TRUE(build.size() == 10 ? shapedAt(build, 0, "Aaa 9 9999")
                                   : shapedAt(build, 0, "Aaa 99 9999") && build[4] != '0')
        << build;
    const std::string version = "System File version: 2\r\nSystem File written: ";
    const std::size_t at = s.shell.output.find(version);
    ASSERT_NE(at, std::string::npos) << s.shell.output;
    const std::size_t date = at + version.size();
    EXPECT_TRUE(shapedAt(s.shell.output, date, "Aaa Aaa _9 99:99:99 9999")) << s.shell.output;
    EXPECT_EQ(s.shell.output.substr(date + 24), "\r\nSystem File written by Ordena build: " + build +
                                                    "\r\nCurrent Ordena build: " + build + "\r\n")
        << s.shell.output;
    EXPECT_EQ(s.shell.status.back(), "0:System file loaded");
}

// ---------------------------------------------------------------------------
// Refusals

class SystemFileRefusalTest : public SystemFileTest {
protected:
    void SetUp() override {
        SystemFileTest::SetUp();
        // The file to damage: a small analysis of its own.
        EXPECT_EQ(s.runAllOf("datafile verbagg.dat; format pid 1-3 responses 10-19; model item; estimate;"), 1);
        EXPECT_EQ(s.run("put >> good.zrs;"), 1);
        good = bytes("good.zrs");
        // The workspace that every refusal must leave alone: another one.
        EXPECT_EQ(s.runAllOf("datafile verbagg.dat; format pid 1-3 responses 35-40; model item + item*step;"
                             " title Kept; estimate;"),
                  1);
        shown = showOutput();
        listing = directory();
    }

    std::string showOutput() {
        s.shell.output.clear();
        EXPECT_EQ(s.run("show;"), 1);
        return withoutDates(s.shell.output);
    }
    std::set<std::string> directory() {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(s.dir())) names.insert(entry.path().filename().string());
        return names;
    }

    // get of the bytes fails, and nothing changed; the message.
    std::string refusal(const std::string& file) {
        s.writeFile("bad.zrs", file);
        listing.insert("bad.zrs");
        return refusalOf("bad.zrs");
    }
    std::string refusalOf(const std::string& name) {
        s.shell.clear();
        EXPECT_EQ(s.run("get << " + name + ";"), -1);
        const std::string message = s.shell.errors.empty() ? std::string() : s.shell.errors.back();
        EXPECT_EQ(directory(), listing);
        EXPECT_EQ(showOutput(), shown);
        return message;
    }
    void refused(const std::string& file, const std::string& message) { EXPECT_EQ(refusal(file), message); }
    void refusedName(const std::string& name, const std::string& message) { EXPECT_EQ(refusalOf(name), message); }

    static void putInt(std::string& file, std::size_t at, std::int32_t v) { std::memcpy(file.data() + at, &v, 4); }
    // Where the version lies: after the two header texts.
    std::size_t versionAt() const { return good.size() - afterHeader(good).size(); }

    std::string good, shown;
    std::set<std::string> listing;
};

TEST_F(SystemFileRefusalTest, WrongVersionIsRefusedAfterTheHeaderIsShown) {
    // Version 3 is the delimited-file version; 4 is none.
    std::string file = good;
    putInt(file, versionAt(), 4);
    s.writeFile("bad.zrs", file);
    s.shell.clear();
    EXPECT_EQ(s.run("get << bad.zrs;"), -1);
    EXPECT_EQ(s.shell.errors, std::vector<std::string>{"This system file cannot be read, incorrect version"});
    EXPECT_NE(s.shell.output.find("\r\nSystem File version: 4\r\nSystem File written: "), std::string::npos);
    refused(file, "This system file cannot be read, incorrect version");
    // A version 2 file called version 3 lacks the delimited description.
    file = good;
    putInt(file, versionAt(), 3);
    refused(file, "This system file cannot be read, a response block's field names in its specifications does not "
                  "agree with the rest of the file");
}

TEST_F(SystemFileRefusalTest, FilesThatAreNoSystemFilesAreRefused) {
    refused("", "This system file cannot be read, it ends within its header");
    RanUniform random(0.0, 256.0, 11);
    std::string noise;
    for (int k = 0; k < 4000; ++k) noise += static_cast<char>(static_cast<int>(random.draw()));
    refused(noise, "This system file cannot be read, its header is not that of a system file");
    fs::create_directory("folder.zrs");
    listing.insert("folder.zrs");
    refusedName("folder.zrs", "Cannot read system file:===>folder.zrs");
    refusedName("missing.zrs", "Cannot read system file:===>missing.zrs");
    s.shell.clear();
    EXPECT_EQ(s.run("get saved.zrs;"), -1);
    EXPECT_EQ(s.shell.errors, std::vector<std::string>{"The redirection symbol '<<' was expected but not found"});
}

TEST_F(SystemFileRefusalTest, LengthsBeyondTheFileAreRefusedBeforeAnythingIsMade) {
    std::string file = good;
    putInt(file, 0, 0x7fffffff);
    refused(file, "This system file cannot be read, its header is not that of a system file");

    // The model text's length: it precedes the format text.
    const std::string format = "pid 1-3 responses 10-19";
    const std::size_t formatAt = good.find(format);
    ASSERT_NE(formatAt, std::string::npos);
    file = good;
    putInt(file, formatAt - 4 - 4 - 4, 0x7fffffff);  // "item" and its length
    refused(file, "This system file cannot be read, the model text in its specifications is out of range");

    // The number of cases, the first field of the latent estimates.
    file = good;
    putInt(file, versionAt() + 4, 0x7fffffff);
    refused(file, "This system file cannot be read, it ends within its latent estimates");

    // A generalised item beyond the model, in the last model record.
    file = good;
    putInt(file, good.size() - 4 - 20 + 8, 10);
    refused(file, "This system file cannot be read, a generalised item in its item response data is out of range");
}

TEST_F(SystemFileRefusalTest, EveryPartCutShortIsRefused) {
    std::set<std::string> parts;
    const std::string prefix = "This system file cannot be read, it ends within its ";
    for (std::size_t cut = 0; cut < good.size(); cut += 1 + good.size() / 300) {
        const std::string message = refusal(good.substr(0, cut));
        ASSERT_EQ(message.rfind(prefix, 0), 0u) << cut << ": " << message;
        parts.insert(message.substr(prefix.size()));
    }
    refused(good.substr(0, good.size() - 1), "This system file cannot be read, it ends within its item response data");
    EXPECT_EQ(parts, (std::set<std::string>{"header", "latent estimates", "specifications", "design matrices",
                                            "background data", "item response data"}));
    refused(good + '\0', "This system file cannot be read, there is more in it after its item response data");
}

TEST_F(SystemFileRefusalTest, PutRefusalsLeaveNoFileAndKeepAnEarlierOne) {
    s.shell.clear();
    EXPECT_EQ(s.run("put saved.zrs;"), -1);
    EXPECT_EQ(s.shell.errors, std::vector<std::string>{"The redirection symbol '>>' was expected but not found"});
    s.shell.clear();
    EXPECT_EQ(s.run("put >> nowhere/saved.zrs;"), -1);
    EXPECT_EQ(s.shell.errors, std::vector<std::string>{"Can't write system file"});

    // A work file gone missing ends the put half way: the earlier file of
    // that name stays, and no part file is left.
    fs::remove(s.session.ws.data.passes.groupFile.str());
    s.shell.clear();
    EXPECT_EQ(s.run("put >> good.zrs;"), -1);
    EXPECT_EQ(s.shell.errors, std::vector<std::string>{"Open failure to scratch file " +
                                                       s.session.ws.data.passes.groupFile.str()});
    EXPECT_EQ(bytes("good.zrs"), good);
    listing.erase(fs::path(s.session.ws.data.passes.groupFile.str()).filename().string());
    EXPECT_EQ(directory(), listing);

    // Without an estimate there are no case estimates to save.
    ASSERT_EQ(s.run("reset;"), 1);
    s.shell.clear();
    EXPECT_EQ(s.run("put >> fresh.zrs;"), -1);
    EXPECT_EQ(s.shell.errors, std::vector<std::string>{"File open failed"});
    EXPECT_FALSE(fs::exists("fresh.zrs"));
}

// A specification changed after the estimate is saved as changed: after
// get the next estimate reads the data again (and fails without it).
TEST_F(SystemFileTest, ASpecificationChangedSinceTheDataPassesReadsTheDataAgain) {
    const std::string script = "datafile verbagg.dat; format pid 1-3 responses 35-44; model item; estimate;";
    ASSERT_EQ(s.runAllOf(script), 1) << errors();
    ASSERT_EQ(s.run("model item + item*step; put >> saved.zrs; estimate; show >> direct.txt;"), 1) << errors();
    ASSERT_EQ(s.run("reset; get << saved.zrs;"), 1) << errors();
    EXPECT_EQ(s.session.ws.est.estimated, 0);
    EXPECT_EQ(s.session.ws.dataPassNeeded, 1);
    EXPECT_TRUE(s.session.ws.data.passes.responseFile.isEmpty());
    ASSERT_EQ(s.run("estimate; show >> loaded.txt;"), 1) << errors();
    EXPECT_EQ(withoutDates(s.readFile("direct.txt")), withoutDates(s.readFile("loaded.txt")));

    ASSERT_EQ(s.run("reset; get << saved.zrs;"), 1);
    fs::remove("verbagg.dat");
    s.shell.clear();
    EXPECT_EQ(s.run("estimate;"), -1);
    ASSERT_FALSE(s.shell.errors.empty());
    EXPECT_EQ(s.shell.errors[0], " Error opening input file verbagg.dat");
}

}  // namespace
}  // namespace ordena::test
