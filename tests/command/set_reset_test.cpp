// The settings, set and reset.
#include <filesystem>

#include "command/set_reset.h"
#include "command/session_fixture.h"

namespace ordena::test {
namespace {

class SetTest : public SessionTest {
protected:
    int set(const std::string& items) { return exec("set " + items); }
    const Settings& settings() const { return session.ws.settings; }
};

TEST_F(SetTest, StartsWithTheDefaults) {
    const Settings& s = settings();
    EXPECT_EQ(s.seed, 1);
    EXPECT_EQ(s.n_plausible, 5);
    EXPECT_EQ(s.p_nodes, 2000);
    EXPECT_EQ(s.iterlimit, 100);
    EXPECT_EQ(s.innerloops, 10);
    EXPECT_EQ(s.constraints, kConstraintsDefault);
    EXPECT_FALSE(s.update);
    EXPECT_TRUE(s.warnings);
    EXPECT_EQ(s.f_nodes, 1000);
    EXPECT_EQ(s.fitdraws, 1);
    EXPECT_EQ(s.key_default, "0");
    EXPECT_EQ(s.zero_perfect, 0.3);
    EXPECT_EQ(s.mle_criteria, 0.001);
    EXPECT_EQ(s.buffersize, 32767);
    EXPECT_EQ(s.respmiss, kRespMissBoth);
    EXPECT_EQ(s.plotwindows, 100);
    EXPECT_TRUE(s.logestimates);
    EXPECT_FALSE(s.keeplastests);
    EXPECT_EQ(s.mle_max, 10.0);
    EXPECT_EQ(session.ws.title, "Ordena: Generalised Item Response Modelling Software");
    EXPECT_EQ(session.ws.replication, -1);
}

TEST_F(SetTest, EveryWordStoresItsValue) {
    EXPECT_EQ(set("seed=-7, n_plausible=2.9, p_nodes=300, iterlimit=50, innerloops=+4, constraints=ITEMS, "
                  "update=Yes, f_nodes=20, fitdraws=3, key_default=x, zero/perfect=0.5, mle_criteria=.01, "
                  "buffersize=4096, respmiss=Dot, plotwindows=0, logestimates=no, keeplastests=yes, "
                  "mle_max=-4.5, warnings=NO"),
              1);
    const Settings& s = settings();
    EXPECT_EQ(s.seed, -7);
    EXPECT_EQ(s.n_plausible, 2);
    EXPECT_EQ(s.p_nodes, 300);
    EXPECT_EQ(s.iterlimit, 50);
    EXPECT_EQ(s.innerloops, 4);
    EXPECT_EQ(s.constraints, kConstraintsItems);
    EXPECT_TRUE(s.update);
    EXPECT_EQ(s.f_nodes, 20);
    EXPECT_EQ(s.fitdraws, 3);
    EXPECT_EQ(s.key_default, "x");
    EXPECT_EQ(s.zero_perfect, 0.5);
    EXPECT_EQ(s.mle_criteria, 0.01);
    EXPECT_EQ(s.buffersize, 4096);
    EXPECT_EQ(shell.outputLimit, 4096);
    EXPECT_EQ(s.respmiss, kRespMissDot);
    EXPECT_EQ(s.plotwindows, 0);
    EXPECT_FALSE(s.logestimates);
    EXPECT_TRUE(s.keeplastests);
    EXPECT_EQ(s.mle_max, -4.5);
    EXPECT_FALSE(s.warnings);
    EXPECT_EQ(shell.status, (std::vector<std::string>{"3:Automatic Estimate Updates: YES", "2:Warnings: NO"}));
    EXPECT_TRUE(shell.errors.empty());
}

TEST_F(SetTest, ChoicesOfTheCodedSettings) {
    const char* constraints[] = {"default", "items", "cases", "none"};
    for (int k = 0; k < 4; ++k) {
        ASSERT_EQ(set(std::string("constraints=") + constraints[k]), 1);
        EXPECT_EQ(settings().constraints, k);
    }
    const char* respmiss[] = {"dot", "BLANK", "both", "None"};
    for (int k = 0; k < 4; ++k) {
        ASSERT_EQ(set(std::string("respmiss=") + respmiss[k]), 1);
        EXPECT_EQ(settings().respmiss, k);
    }
}

TEST_F(SetTest, WordsMayBeAbbreviatedUnambiguously) {
    EXPECT_EQ(set("warn=no, SEE=4, n=3, zero=1, mle_c=1, mle_m=3"), 1);
    EXPECT_FALSE(settings().warnings);
    EXPECT_EQ(settings().seed, 4);
    EXPECT_EQ(settings().n_plausible, 3);
    EXPECT_EQ(settings().mle_max, 3.0);
    for (const char* word : {"p", "k", "m", "f", "i"}) {
        shell.clear();
        EXPECT_EQ(set(std::string(word) + "=1"), -1) << word;
        EXPECT_EQ(shell.errors, (std::vector<std::string>{" Ambiguous command word", " An incorrect set argument"}));
    }
    shell.clear();
    EXPECT_EQ(set("colour=red"), -1);
    EXPECT_EQ(shell.errors,
              (std::vector<std::string>{"Unknown command or argument: 'colour'", " An incorrect set argument"}));
}

TEST_F(SetTest, EveryCheckHasItsMessageAndKeepsTheOldValue) {
    struct Case {
        const char* item;
        const char* message;
    };
    const Case cases[] = {
        {"seed=x", " seed is not a number"},
        {"n_plausible=", "The number of plausible values is not a number"},
        {"p_nodes=1-2", " number of nodes not a number"},
        {"iterlimit=.", "The number of iterations is not a number"},
        {"innerloops=ten", "The number of inner loops is not a number"},
        {"constraints=item", "The constraint method must be one of: default, items, none or cases"},
        {"update=y", "The update value must be either yes or no"},
        {"warnings", "The warning value must be either yes or no"},
        {"f_nodes=a", "The number of nodes fir fit calculation is not a number"},
        {"fitdraws=-", "The number of fit draws is not a number"},
        {"key_default=ab", "The default key must be a single character"},
        {"key_default=", "The default key must be a single character"},
        {"zero/perfect=z", "The perfect/zero value is not a number"},
        {"mle_criteria=1e-3", "The MLE criteria is not a number"},
        {"mle_max=big", "The MLE criteria is not a number"},
        {"buffersize=+5000", "The buffer size is not an integer"},
        {"respmiss=dots", "The respmiss value must be one of: NONE, BOTH, DOT, BLANK"},
        {"plotwindows=-1", "The number of plot windows is not an integer"},
        {"logestimates=1", "The logestimates value must be either yes or no"},
        {"keeplastests=true", "The keeplastests value must be either yes or no"},
        {"=", "Error in set argument"},
        {" = =", "Error in set argument"},
    };
    const Settings before = settings();
    for (const Case& c : cases) {
        shell.clear();
        EXPECT_EQ(set(c.item), -1) << c.item;
        EXPECT_EQ(shell.errors, std::vector<std::string>{c.message}) << c.item;
        EXPECT_TRUE(shell.status.empty()) << c.item;
    }
    const Settings& after = settings();
    EXPECT_EQ(after.seed, before.seed);
    EXPECT_EQ(after.n_plausible, before.n_plausible);
    EXPECT_EQ(after.key_default, before.key_default);
    EXPECT_EQ(after.warnings, before.warnings);
    EXPECT_EQ(after.constraints, before.constraints);
    EXPECT_EQ(after.mle_max, before.mle_max);
}

TEST_F(SetTest, IterlimitNeverBelowFive) {
    EXPECT_EQ(set("iterlimit=3"), 1);
    EXPECT_EQ(settings().iterlimit, 5);
    EXPECT_EQ(shell.warnings,
              std::vector<std::string>{"The iterlimit must has been set at its minimim possible value - 5"});
}

TEST_F(SetTest, BufferSizeLimits) {
    EXPECT_EQ(set("buffersize=4095"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"The buffer size is too small. It has been set to the default"});
    EXPECT_EQ(set("buffersize=1048576"), 1);
    EXPECT_EQ(settings().buffersize, 1048576);
    shell.clear();
    EXPECT_EQ(set("buffersize=99999999999"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"The buffer size is too large. It has been set to the default"});
    EXPECT_EQ(settings().buffersize, 32767);
    EXPECT_EQ(shell.outputLimit, 32767);
}

TEST_F(SetTest, RedirectionAndOptionsAreRefusedBeforeAnyItem) {
    EXPECT_EQ(set("seed=5 >> out.txt"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"File redirection is not valid for this command"});
    shell.clear();
    EXPECT_EQ(set("seed=5 ! x >> y"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"File redirection is not valid for this command"});
    shell.clear();
    EXPECT_EQ(set("seed=5 !now"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Options not valid for this command"});
    EXPECT_EQ(settings().seed, 1);
}

TEST_F(SetTest, ItemsBeforeAFailureStayAndTheStatusLineKeepsItsOldText) {
    EXPECT_EQ(set("warnings=no, seed=x"), -1);
    EXPECT_FALSE(settings().warnings);
    EXPECT_TRUE(shell.status.empty());
}

TEST_F(SetTest, SeedReseedsAllThreeGenerators) {
    session.mvnormal.draw();
    RanMVNormal mvAfterOneDraw = session.mvnormal;
    EXPECT_EQ(set("seed=42"), 1);
    RanUniform u(0.0, 1.0, 42);
    RanNormal n(42);
    RanMVNormal mv(zeroVector(1), identity(1), 42);
    EXPECT_EQ(session.uniform.draw(), u.draw());
    EXPECT_EQ(session.normal.draw(), n.draw());
    // The multivariate generator restarts too, so that generated abilities
    // follow the seed like every other generated number.
    const double first = session.mvnormal.draw()[0][0];
    EXPECT_EQ(first, mv.draw()[0][0]);
    EXPECT_NE(first, mvAfterOneDraw.draw()[0][0]);
}

TEST_F(SetTest, SetAloneRestoresEveryDefaultAndReseedsAllThreeWithOne) {
    ASSERT_EQ(set("seed=9, warnings=no, key_default=z, buffersize=5000"), 1);
    session.ws.est.estimated = 1;
    session.ws.est.mleAvailable = true;
    session.ws.replication = 3;
    session.uniform.draw();
    session.normal.draw();
    session.mvnormal.draw();
    shell.clear();
    shell.outputLimit = -1;

    EXPECT_EQ(exec("set"), 1);
    EXPECT_EQ(settings().seed, 1);
    EXPECT_TRUE(settings().warnings);
    EXPECT_EQ(settings().key_default, "0");
    EXPECT_EQ(settings().buffersize, 32767);
    EXPECT_EQ(shell.outputLimit, -1);  // the pane keeps its limit
    EXPECT_EQ(session.ws.est.estimated, 0);
    EXPECT_FALSE(session.ws.est.mleAvailable);
    EXPECT_EQ(session.ws.replication, -1);
    RanUniform u(0.0, 1.0, 1);
    RanNormal n(1);
    RanMVNormal mv(1);
    mv.setseed(1);
    EXPECT_EQ(session.uniform.draw(), u.draw());
    EXPECT_EQ(session.normal.draw(), n.draw());
    EXPECT_EQ(session.mvnormal.draw()[0][0], mv.draw()[0][0]);
    EXPECT_EQ(shell.status, (std::vector<std::string>{"3:Automatic Estimate Updates: NO", "2:Warnings: YES"}));
}

TEST_F(SetTest, SideEffectsOnStoredCaseEstimates) {
    EstimationState& est = session.ws.est;
    auto allAvailable = [&] { est.eapAvailable = est.plausibleAvailable = est.mleAvailable = est.wleAvailable = true; };

    allAvailable();
    ASSERT_EQ(set("n_plausible=3"), 1);
    EXPECT_FALSE(est.eapAvailable);
    EXPECT_FALSE(est.plausibleAvailable);
    EXPECT_TRUE(est.mleAvailable);

    allAvailable();
    ASSERT_EQ(set("p_nodes=100"), 1);
    EXPECT_FALSE(est.eapAvailable);
    EXPECT_FALSE(est.plausibleAvailable);
    EXPECT_TRUE(est.wleAvailable);

    allAvailable();
    ASSERT_EQ(set("zero/perfect=0.2"), 1);
    EXPECT_FALSE(est.mleAvailable);
    EXPECT_TRUE(est.eapAvailable);
    allAvailable();
    ASSERT_EQ(set("mle_criteria=0.0001"), 1);
    EXPECT_FALSE(est.mleAvailable);
    EXPECT_TRUE(est.wleAvailable);

    allAvailable();
    est.estimated = 1;
    ASSERT_EQ(set("constraints=cases"), 1);
    EXPECT_FALSE(est.eapAvailable || est.plausibleAvailable || est.mleAvailable || est.wleAvailable);
    EXPECT_EQ(est.estimated, 0);

    // A failed item has no side effect.
    allAvailable();
    est.estimated = 1;
    ASSERT_EQ(set("constraints=all"), -1);
    EXPECT_TRUE(est.eapAvailable && est.wleAvailable);
    EXPECT_EQ(est.estimated, 1);
}

TEST_F(SetTest, DirectoryKeepsTheNameAsWritten) {
    ScratchDirectory scratch;
    std::filesystem::create_directory("Mixed Case");
    EXPECT_EQ(set("directory= Mixed Case "), 1);
    EXPECT_EQ(std::filesystem::current_path(), scratch.path() / "Mixed Case");

    EXPECT_EQ(set("directory=../MIXED CASE"), -1);
    EXPECT_EQ(shell.errors, std::vector<std::string>{"Unable to locate directory: ../MIXED CASE"});
    EXPECT_EQ(std::filesystem::current_path(), scratch.path() / "Mixed Case");

    shell.clear();
    EXPECT_EQ(set(std::string("directory=..\0/x", 15)), -1);
    EXPECT_EQ(std::filesystem::current_path(), scratch.path() / "Mixed Case");
}

TEST_F(SetTest, ResetKeepsTheDataFileAndClearsTheRest) {
    ScratchDirectory scratch;
    session.ws.data.fileName = "x.dat";
    session.ws.title = "Mine";
    session.ws.labels.store(kLabelDimensions, 0, "1", "Literacy");
    session.ws.est.estimated = 1;
    session.ws.est.wleAvailable = true;
    session.ws.est.options.iterations = 5;
    session.ws.est.anchors.push_back(AnchorEntry{});
    session.ws.dataPassNeeded = 0;
    session.ws.replication = 2;
    session.tokens.define("a", "1");
    ASSERT_EQ(set("seed=3, update=yes"), 1);
    ASSERT_TRUE(session.ws.files.logFile.open("run.zrl", "w"));
    session.ws.files.logFileName = "run.zrl";
    shell.clear();
    shell.output = "earlier output";

    EXPECT_EQ(exec("reset"), 1);
    EXPECT_EQ(shell.output, "");  // cleared before the reset's work, after the echo
    EXPECT_EQ(session.ws.data.fileName, "x.dat");
    EXPECT_EQ(session.ws.title, kDefaultTitle);
    EXPECT_TRUE(session.ws.labels.sets.empty());
    EXPECT_EQ(session.ws.est.estimated, 0);
    EXPECT_FALSE(session.ws.est.wleAvailable);
    EXPECT_EQ(session.ws.est.options.iterations, 1000);
    EXPECT_TRUE(session.ws.est.anchors.empty());
    EXPECT_EQ(session.ws.dataPassNeeded, 1);
    EXPECT_EQ(session.ws.replication, -1);
    EXPECT_TRUE(session.tokens.empty());
    EXPECT_FALSE(session.ws.files.logFile.isOpen());
    EXPECT_TRUE(session.ws.files.logFileName.isEmpty());
    EXPECT_EQ(settings().seed, 1);
    // The message pane says nothing of the workspace that went.
    EXPECT_EQ(shell.status, (std::vector<std::string>{"1:Log File: NONE", "0:Ready",
                                                      "3:Automatic Estimate Updates: NO", "2:Warnings: YES"}));
    // The reset statement's echo reached the log before it was closed.
    EXPECT_EQ(readFile("run.zrl"), "\n =>reset;\n");
}

TEST_F(SetTest, RunAllResetsButDoesNotAskForTheDataPasses) {
    session.ws.dataPassNeeded = 0;
    session.tokens.define("a", "1");
    shell.output = "old";
    EXPECT_EQ(runAll(session, "title %a%;"), 1);
    EXPECT_EQ(session.ws.dataPassNeeded, 0);
    EXPECT_EQ(shell.output, "=>title %a%;\r\n");
    EXPECT_EQ(session.ws.title, "%a%");
}

}  // namespace
}  // namespace ordena::test
