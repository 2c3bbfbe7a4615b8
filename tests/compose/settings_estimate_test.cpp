// The set statement of "System Settings" and the estimate statement of
// "Estimate": the differences they compose, and that the handlers take them.
#include <gtest/gtest.h>

#include "app/compose/dialog_fields.h"
#include "app/compose/estimate_dialog.h"
#include "app/compose/settings_dialog.h"
#include "compose_fixture.h"
#include "estimation/estimate_command.h"

namespace ordena::test {
namespace {

using SettingsDialog = ComposeTest;
using EstimateDialog = ComposeTest;

TEST(SettingsFields, ShowTheSettingsAndTheirDefaults) {
    const SettingsFields f = settingsFields(Settings{});
    EXPECT_EQ(f.seed, "1");
    EXPECT_EQ(f.buffersize, "32767");
    EXPECT_EQ(f.fitdraws, "1");
    EXPECT_EQ(f.iterlimit, "100");
    EXPECT_EQ(f.p_nodes, "2000");
    EXPECT_EQ(f.n_plausible, "5");
    EXPECT_EQ(f.f_nodes, "1000");
    EXPECT_EQ(f.innerloops, "10");
    EXPECT_EQ(f.mle_criteria, "0.00100");
    EXPECT_EQ(f.zero_perfect, "0.30000");
    EXPECT_EQ(f.key_default, "0");
    EXPECT_TRUE(f.warnings);
    EXPECT_TRUE(f.logestimates);
    EXPECT_FALSE(f.update);
    EXPECT_FALSE(f.keeplastests);
    EXPECT_EQ(f.constraints, kConstraintsDefault);
    EXPECT_EQ(f.respmiss, kRespMissBoth);
}

// Nothing changed composes nothing: "Set " alone would put back the
// defaults of every setting the user had changed, not keep them as shown.
TEST_F(SettingsDialog, NothingChangedComposesNothing) {
    EXPECT_EQ(composeSet(settingsFields(ws().settings), ws().settings), "");
    accept("set seed=5, warnings=no, constraint=cases");
    EXPECT_EQ(composeSet(settingsFields(ws().settings), ws().settings), "");
    // Changing one control gives only that item; the other changed settings stay.
    SettingsFields f = settingsFields(ws().settings);
    f.iterlimit = "40";
    EXPECT_EQ(composeSet(f, ws().settings), "Set iterlimit=40");
    accept(composeSet(f, ws().settings));
    EXPECT_EQ(ws().settings.seed, 5);
    EXPECT_FALSE(ws().settings.warnings);
    EXPECT_EQ(ws().settings.constraints, kConstraintsCases);
    EXPECT_EQ(ws().settings.iterlimit, 40);
}

TEST_F(SettingsDialog, ChangingTheSeed) {
    SettingsFields f = settingsFields(ws().settings);
    f.seed = "7";
    EXPECT_EQ(composeSet(f, ws().settings), "Set seed=7");
    accept(composeSet(f, ws().settings));
    EXPECT_EQ(ws().settings.seed, 7);
    // Now the dialog opens on seed 7, and nothing differs.
    EXPECT_EQ(composeSet(settingsFields(ws().settings), ws().settings), "");
    // "Defaults" fills the controls with the defaults: the seed differs again.
    EXPECT_EQ(composeSet(settingsFields(Settings{}), ws().settings), "Set seed=1");
}

TEST_F(SettingsDialog, EveryItemInOrder) {
    SettingsFields f = settingsFields(ws().settings);
    f.seed = "2";
    f.buffersize = "5000";
    f.fitdraws = "3";
    f.iterlimit = "50";
    f.p_nodes = "100";
    f.n_plausible = "3";
    f.f_nodes = "200";
    f.innerloops = "5";
    f.mle_criteria = "0.01";
    f.zero_perfect = "0.5";
    f.key_default = "9";
    f.constraints = kConstraintsCases;
    f.respmiss = kRespMissBlank;
    f.warnings = false;
    f.logestimates = false;
    f.keeplastests = true;
    f.update = true;
    const MString statement = composeSet(f, ws().settings);
    EXPECT_EQ(statement,
              "Set seed=2, buffersize=5000, fitdraws=3, iterlimit=50, p_nodes=100, n_plausible=3, f_nodes=200, "
              "innerloops=5, mle_criteria=0.01, zero/perfect=0.5, key_default=9, constraint=cases, respmiss=blank, "
              "warnings=no, logestimates=no, keeplastests=yes, update=yes");
    accept(statement);
    const Settings& s = ws().settings;
    EXPECT_EQ(s.buffersize, 5000);
    EXPECT_EQ(s.innerloops, 5);
    EXPECT_DOUBLE_EQ(s.zero_perfect, 0.5);
    EXPECT_EQ(s.key_default, "9");
    EXPECT_EQ(s.constraints, kConstraintsCases);
    EXPECT_EQ(s.respmiss, kRespMissBlank);
    EXPECT_FALSE(s.warnings);
    EXPECT_TRUE(s.update);
    EXPECT_TRUE(s.keeplastests);

    // The remaining words of the two radio groups.
    f = settingsFields(Settings{});
    f.constraints = kConstraintsItems;
    f.respmiss = kRespMissDot;
    EXPECT_EQ(composeSet(f, Settings{}), "Set constraint=items, respmiss=dot");
    f.constraints = kConstraintsNone;
    f.respmiss = kRespMissNone;
    EXPECT_EQ(composeSet(f, Settings{}), "Set constraint=none, respmiss=none");
    f = settingsFields(s);
    f.constraints = kConstraintsDefault;
    f.respmiss = kRespMissBoth;
    EXPECT_EQ(composeSet(f, s), "Set constraint=default, respmiss=both");
}

TEST(SettingsCompose, FieldsAreComparedAsNumbersAndCarriedAsTyped) {
    const Settings s;
    SettingsFields f = settingsFields(s);
    f.seed = "1.9";  // reads as 1
    f.iterlimit = "0100";
    f.mle_criteria = "0.0010";
    f.zero_perfect = ".3";
    EXPECT_EQ(composeSet(f, s), "");
    f.seed = "8x";  // reads as 8: the text goes as typed and the set handler judges it
    f.mle_criteria = "1e-4";
    EXPECT_EQ(composeSet(f, s), "Set seed=8x, mle_criteria=1e-4");
    f = settingsFields(s);
    f.key_default = "0 ";  // compared as text
    EXPECT_EQ(composeSet(f, s), "Set key_default=0 ");
}

TEST(EstimateFields, ShowTheOptions) {
    EstimateFields f = estimateFields(EstimateOptions{});
    EXPECT_EQ(f.nodes, "15");
    EXPECT_EQ(f.minNode, "-6.00000");
    EXPECT_EQ(f.maxNode, "6.00000");
    EXPECT_EQ(f.iterations, "1000");
    EXPECT_EQ(f.convergence, "0.00010");
    EXPECT_EQ(f.devianceChange, "0.00010");
    EXPECT_EQ(f.alpha, "0.00000");
    EXPECT_EQ(f.method, EstimateMethodChoice::Gauss);  // no method given
    EXPECT_EQ(f.distribution, Distribution::Normal);
    EXPECT_EQ(f.stdErr, StdErrMode::Quick);
    EXPECT_TRUE(f.fit);
    EXPECT_FALSE(f.abilities);  // the statement computes no case estimates by default

    EstimateOptions o;
    o.method = EstimationMethod::MonteCarlo;
    o.nodes = 2000;
    o.iterations = 50;
    o.stdErr = StdErrMode::None;
    o.abilities = false;
    f = estimateFields(o);
    EXPECT_EQ(f.nodes, "2000");  // the nodes in force
    EXPECT_EQ(f.iterations, "50");
    EXPECT_EQ(f.method, EstimateMethodChoice::MonteCarlo);
    EXPECT_EQ(f.stdErr, StdErrMode::None);
    EXPECT_FALSE(f.abilities);
    o.nodes = 0;
    EXPECT_EQ(estimateFields(o).nodes, "1000");  // none given: Monte Carlo's default
    o.method = EstimationMethod::Quadrature;
    EXPECT_EQ(estimateFields(o).method, EstimateMethodChoice::BockAitken);
    o.method = EstimationMethod::Gauss;
    o.distribution = Distribution::Discrete;  // Gauss-Hermite shows the normal distribution only
    EXPECT_EQ(estimateFields(o).distribution, Distribution::Normal);
}

TEST(EstimateCompose, UnchangedDialogComposesTheDefaultEstimate) {
    EstimateFields f = estimateFields(EstimateOptions{});
    EXPECT_EQ(composeEstimate(f), "Estimate");
    f.abilities = true;
    EXPECT_EQ(composeEstimate(f), "Estimate ! abilities=yes");
    f.abilities = false;
    f.fit = false;
    EXPECT_EQ(composeEstimate(f), "Estimate ! fit=no");
}

// The reals show the digits they need to read back as the value in force.
TEST(EstimateFields, RealsWithTheDigitsTheyNeed) {
    EXPECT_EQ(realFieldText(0.0001), "0.00010");
    EXPECT_EQ(realFieldText(0.000001), "0.000001");
    EXPECT_EQ(realFieldText(1.0 / 3.0), "0.3333333333333333");
    EXPECT_EQ(realFieldText(-2.5e-9), "-0.0000000025");
    EXPECT_EQ(realFieldText(1e-30), "1.0000000000000001e-30");
    EXPECT_EQ(realFieldText(-6.0f), "-6.00000");
    EXPECT_EQ(realFieldText(0.1f), "0.10000");  // a float reads back as itself at five decimals
    EXPECT_EQ(realFieldText(-3.123456f), "-3.123456");
    for (double v : {0.000001, 1.0 / 3.0, 123456.789, -2.5e-9, 1e-30, 0.0})
        EXPECT_EQ(realFieldText(v).toDouble(), v) << v;
}

TEST(EstimateCompose, EveryOptionInOrder) {
    EstimateFields f = estimateFields(EstimateOptions{});
    chooseEstimateMethod(f, EstimateMethodChoice::BockAitken);
    f.nodes = "20";
    f.minNode = "-4";
    f.maxNode = "4";
    f.iterations = "50";
    f.convergence = "0.001";
    f.devianceChange = "0.01";
    f.alpha = "0.5";
    f.stdErr = StdErrMode::Full;
    f.fit = false;
    f.abilities = true;
    EXPECT_EQ(composeEstimate(f),
              "Estimate ! nodes=20, minnode=-4, maxnode=4, iter=50, conv=0.001, deviance=0.01, alpha=0.5, "
              "stderr=full, method=quadrature, fit=no, abilities=yes");
}

TEST(EstimateCompose, MethodChoices) {
    EstimateFields f = estimateFields(EstimateOptions{});
    f.abilities = false;

    chooseEstimateMethod(f, EstimateMethodChoice::MonteCarlo);
    EXPECT_EQ(f.nodes, "1000");
    EXPECT_EQ(composeEstimate(f), "Estimate ! method=montecarlo");
    f.nodes = "2000";
    EXPECT_EQ(composeEstimate(f), "Estimate ! nodes=2000, method=montecarlo");

    chooseEstimateMethod(f, EstimateMethodChoice::Gauss);
    EXPECT_EQ(f.nodes, "15");
    f.minNode = "-3";  // not used by Gauss-Hermite quadrature: disabled, not composed
    EXPECT_EQ(composeEstimate(f), "Estimate");
    f.nodes = "20";
    EXPECT_EQ(composeEstimate(f), "Estimate ! nodes=20");

    chooseEstimateMethod(f, EstimateMethodChoice::BockAitken);
    EXPECT_EQ(f.nodes, "15");
    EXPECT_EQ(composeEstimate(f), "Estimate ! minnode=-3, method=quadrature");
}

TEST(EstimateCompose, JmlDisablesWhatItDoesNotUse) {
    const EstimateEnabled jml = estimateEnabled(EstimateMethodChoice::Jml);
    EXPECT_FALSE(jml.nodes || jml.minMaxNode || jml.devianceChange || jml.distribution || jml.stdErr || jml.fit ||
                 jml.abilities);
    const EstimateEnabled gauss = estimateEnabled(EstimateMethodChoice::Gauss);
    EXPECT_TRUE(gauss.nodes && gauss.devianceChange && gauss.stdErr && gauss.fit && gauss.abilities);
    EXPECT_FALSE(gauss.minMaxNode || gauss.distribution);
    const EstimateEnabled monteCarlo = estimateEnabled(EstimateMethodChoice::MonteCarlo);
    EXPECT_FALSE(monteCarlo.minMaxNode || monteCarlo.distribution);
    const EstimateEnabled bock = estimateEnabled(EstimateMethodChoice::BockAitken);
    EXPECT_TRUE(bock.nodes && bock.minMaxNode && bock.devianceChange && bock.distribution && bock.stdErr);

    EstimateFields f = estimateFields(EstimateOptions{});
    f.fit = false;
    f.abilities = false;
    f.stdErr = StdErrMode::None;
    chooseEstimateMethod(f, EstimateMethodChoice::Jml);
    EXPECT_TRUE(f.fit);  // checked and disabled
    EXPECT_TRUE(f.abilities);
    EXPECT_EQ(composeEstimate(f), "Estimate ! method=jml");
    f.iterations = "200";
    EXPECT_EQ(composeEstimate(f), "Estimate ! iter=200, method=jml");
}

TEST(EstimateCompose, DistributionChoices) {
    EstimateFields f = estimateFields(EstimateOptions{});
    f.abilities = false;
    chooseEstimateDistribution(f, Distribution::Discrete);
    EXPECT_EQ(f.method, EstimateMethodChoice::BockAitken);
    EXPECT_EQ(f.stdErr, StdErrMode::None);
    EXPECT_EQ(composeEstimate(f), "Estimate ! stderr=none, method=quadrature, distribution=discrete");
    chooseEstimateDistribution(f, Distribution::Normal);
    EXPECT_EQ(f.stdErr, StdErrMode::Quick);
    EXPECT_EQ(composeEstimate(f), "Estimate ! method=quadrature");
    // Monte Carlo takes the normal distribution back.
    chooseEstimateDistribution(f, Distribution::Discrete);
    chooseEstimateMethod(f, EstimateMethodChoice::MonteCarlo);
    EXPECT_EQ(f.distribution, Distribution::Normal);
    EXPECT_EQ(composeEstimate(f), "Estimate ! stderr=none, method=montecarlo");
}

// The fault users met: after a Monte Carlo estimate with 4000 nodes and a
// criterion of 0.000001, the dialog pasted unchanged gave nodes=15 and
// conv=0.00000. Left as it opens, it composes the estimate in force.
TEST_F(EstimateDialog, UnchangedItComposesTheEstimateInForce) {
    for (const char* given : {"method=montecarlo, nodes=4000, convergence=0.000001",
                              "method=quadrature, minnode=-4.25, maxnode=3.1, deviancechange=0.0000005, fit=no",
                              "iterations=17, alpha=0.125, abilities=yes, stderr=full",
                              "distribution=discrete, method=quadrature, stderr=none, nodes=31"}) {
        EstimateOptions& o = ws().est.options;
        o = EstimateOptions{};
        ASSERT_EQ(parseEstimateOptions(session, given, o), 1) << given;
        const MString statement = composeEstimate(estimateFields(o));
        ASSERT_EQ(statement.mid(0, 11), "Estimate ! ") << given;
        EstimateOptions again;
        ASSERT_EQ(parseEstimateOptions(session, statement.mid(11, statement.length() - 11), again), 1) << statement;
        EXPECT_EQ(again.method, o.method) << statement;
        EXPECT_EQ(again.nodes, o.nodes) << statement;
        EXPECT_EQ(again.convergence, o.convergence) << statement;
        EXPECT_EQ(again.devianceChange, o.devianceChange) << statement;
        EXPECT_EQ(again.minNode, o.minNode) << statement;
        EXPECT_EQ(again.maxNode, o.maxNode) << statement;
        EXPECT_EQ(again.iterations, o.iterations) << statement;
        EXPECT_EQ(again.alpha, o.alpha) << statement;
        EXPECT_EQ(again.stdErr, o.stdErr) << statement;
        EXPECT_EQ(again.distribution, o.distribution) << statement;
        EXPECT_EQ(again.fit, o.fit) << statement;
        EXPECT_EQ(again.abilities, o.abilities) << statement;
    }
    EstimateOptions o;
    ASSERT_EQ(parseEstimateOptions(session, "method=montecarlo, nodes=4000, convergence=0.000001", o), 1);
    EXPECT_EQ(composeEstimate(estimateFields(o)), "Estimate ! nodes=4000, conv=0.000001, method=montecarlo");
    EXPECT_TRUE(shell.errors.empty());
}

TEST_F(EstimateDialog, TheStatementReproducesWhatTheDialogShows) {
    // Options of the last estimate statement, as the dialog finds them.
    EstimateOptions& o = ws().est.options;
    ASSERT_EQ(parseEstimateOptions(session, "method=jml, iter=300", o), 1);
    EstimateFields f = estimateFields(o);
    EXPECT_EQ(f.method, EstimateMethodChoice::Jml);
    const MString statement = composeEstimate(f);
    EXPECT_EQ(statement, "Estimate ! iter=300, method=jml");

    // The options the composed statement gives are those shown.
    EstimateOptions again;
    ASSERT_EQ(parseEstimateOptions(session, statement.mid(11, statement.length() - 11), again), 1);
    EXPECT_EQ(again.method, EstimationMethod::Jml);
    EXPECT_EQ(again.iterations, 300);

    f = estimateFields(EstimateOptions{});
    chooseEstimateMethod(f, EstimateMethodChoice::BockAitken);
    f.nodes = "21";
    f.minNode = "-5.5";
    f.maxNode = "5.5";
    f.convergence = "0.002";
    f.devianceChange = "0.05";
    f.alpha = "0.25";
    f.abilities = true;
    chooseEstimateDistribution(f, Distribution::Discrete);
    const MString full = composeEstimate(f);
    ASSERT_EQ(full.mid(0, 11), "Estimate ! ");
    ASSERT_EQ(parseEstimateOptions(session, full.mid(11, full.length() - 11), again), 1) << full;
    EXPECT_EQ(again.nodes, 21);  // Bock/Aitken was chosen already: the nodes stay
    EXPECT_FLOAT_EQ(again.minNode, -5.5f);
    EXPECT_FLOAT_EQ(again.maxNode, 5.5f);
    EXPECT_DOUBLE_EQ(again.convergence, 0.002);
    EXPECT_DOUBLE_EQ(again.devianceChange, 0.05);
    EXPECT_DOUBLE_EQ(again.alpha, 0.25);
    EXPECT_EQ(again.method, EstimationMethod::Quadrature);
    EXPECT_EQ(again.distribution, Distribution::Discrete);
    EXPECT_EQ(again.stdErr, StdErrMode::None);
    EXPECT_TRUE(again.abilities);
    EXPECT_TRUE(shell.errors.empty());
}

}  // namespace
}  // namespace ordena::test
