// The statements of "Traditional Item Statistics", "Latent Descriptives"
// and the two "Plot" forms, and the estimate choices joint maximum
// likelihood leaves.
#include <gtest/gtest.h>

#include "app/compose/analysis_dialogs.h"
#include "compose_fixture.h"

namespace ordena::test {
namespace {

using AnalysisDialogs = ComposeTest;
using E = CaseEstimateChoice;

TEST(ItanalCompose, EstimateTypes) {
    EXPECT_EQ(composeItanal(E::None), "itanal ");
    EXPECT_EQ(composeItanal(E::Wle), "itanal ! estimates=wle");
    EXPECT_EQ(composeItanal(E::Mle), "itanal ! estimates=mle");
    EXPECT_EQ(composeItanal(E::Eap), "itanal ! estimates=eap");
    EXPECT_EQ(composeItanal(E::PlausibleValues), "itanal ! estimates=latent");
}

TEST_F(AnalysisDialogs, JointMaximumLikelihoodLeavesWleAndMle) {
    EXPECT_EQ(preselectedEstimate(ws()), E::PlausibleValues);
    for (E e : {E::None, E::Wle, E::Mle, E::Eap, E::PlausibleValues}) EXPECT_TRUE(estimateChoiceEnabled(ws(), e));
    ws().est.method = EstimationMethod::Jml;  // as a joint maximum likelihood estimation leaves it
    EXPECT_TRUE(jmlInForce(ws()));
    EXPECT_EQ(preselectedEstimate(ws()), E::Wle);
    EXPECT_TRUE(estimateChoiceEnabled(ws(), E::None));
    EXPECT_TRUE(estimateChoiceEnabled(ws(), E::Wle));
    EXPECT_TRUE(estimateChoiceEnabled(ws(), E::Mle));
    EXPECT_FALSE(estimateChoiceEnabled(ws(), E::Eap));
    EXPECT_FALSE(estimateChoiceEnabled(ws(), E::PlausibleValues));
}

TEST_F(AnalysisDialogs, GroupingVariablesOfTheLastDataPass) {
    accept("format pid 1-5 sex 6 region 7 responses 8-17");
    accept("group region, sex");
    EXPECT_TRUE(lastGroupVariableNames(ws()).empty());  // stated, but no data pass ran with it
    ws().model.lastGroup = ws().model.group;            // what the data passes keep
    const std::vector<MString> names = lastGroupVariableNames(ws());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "region");
    EXPECT_EQ(names[1], "sex");
}

TEST(DescriptivesCompose, Options) {
    DescriptivesFields f;
    f.estimates = E::Eap;
    EXPECT_EQ(composeDescriptives(f), "descriptives !estimates=eap");

    f = DescriptivesFields{};
    f.benchmark = true;
    f.location = "0";
    f.uncertainty = "1.0";
    f.percentiles = true;
    f.percentileList = {"10", "90"};
    EXPECT_EQ(composeDescriptives(f), "descriptives !estimates=pv,bench=0:1.0:1000,percentiles=10:90");

    f = DescriptivesFields{};
    f.estimates = E::Wle;
    f.group = "sex";
    f.bands = true;
    f.bandList = {"-1", "0", "1"};
    f.percentiles = true;  // checked with an empty list: no option
    EXPECT_EQ(composeDescriptives(f), "descriptives !estimates=wle,group=sex,cuts=-1:0:1");

    f = DescriptivesFields{};
    f.estimates = E::Mle;
    f.bandList = {"0"};  // a list behind an unchecked box does not count
    f.percentileList = {"50"};
    f.location = "0.5";
    EXPECT_EQ(composeDescriptives(f), "descriptives !estimates=mle");
    f.benchmark = true;
    EXPECT_EQ(composeDescriptives(f), "descriptives !estimates=mle,bench=0.5:0.0:1000");
}

TEST(PlotCompose, FullForm) {
    EXPECT_TRUE(plotFullForm(PlotType::Icc));
    EXPECT_TRUE(plotFullForm(PlotType::Mcc));
    EXPECT_FALSE(plotFullForm(PlotType::Tcc));
    // The scale fields open empty (no "999" and "-999" to read): the
    // statement then leaves the scale to the plot.
    EXPECT_EQ(composePlot(PlotType::Icc, PlotFields{}),
              "plot icc! gins=all,bins=10,mincut=-5,maxcut=5,raw=yes,overlay=no,"
              "legend=no,table=no,estimates=latent,bintype=size");

    PlotFields f;
    f.items = "1-3";
    f.bins = "5";
    f.lower = "-2";
    f.upper = "2";
    f.minScale = "-4";
    f.maxScale = "4";
    f.raw = false;
    f.overlay = true;
    f.legend = true;
    f.table = true;
    f.estimates = E::Wle;
    f.equalWidth = true;
    f.group = "sex";
    EXPECT_EQ(composePlot(PlotType::Ccc, f),
              "plot ccc! gins=1-3,bins=5,mincut=-2,maxcut=2,minscale=-4,maxscale=4,raw=no,overlay=yes,legend=yes,"
              "table=yes,estimates=wle,bintype=width,group=sex");
    f = PlotFields{};
    f.estimates = E::Mle;
    EXPECT_EQ(composePlot(PlotType::Expected, f).mid(0, 24), "plot expected! gins=all,");
    f.estimates = E::Eap;
    f.minScale = "-3";
    f.maxScale = " ";
    EXPECT_EQ(composePlot(PlotType::Mcc, f),
              "plot mcc! gins=all,bins=10,mincut=-5,maxcut=5,minscale=-3,raw=yes,overlay=no,"
              "legend=no,table=no,estimates=eap,bintype=size");
}

TEST(PlotCompose, ShortForm) {
    // Low and High are the scale the curves are drawn over: these plots
    // have no observed data for cuts to group.
    EXPECT_EQ(composePlotShort(PlotType::Tcc, PlotShortFields{}),
              "plot tcc! gins=all,minscale=-4,maxscale=4,overlay=no,legend=no");
    PlotShortFields f;
    f.items = "2";
    f.low = "-3";
    f.high = "3.5";
    f.overlay = true;
    f.legend = true;
    EXPECT_EQ(composePlotShort(PlotType::Iinfo, f),
              "plot iinfo! gins=2,minscale=-3,maxscale=3.5,overlay=yes,legend=yes");
    EXPECT_EQ(composePlotShort(PlotType::Tinfo, PlotShortFields{}),
              "plot tinfo! gins=all,minscale=-4,maxscale=4,overlay=no,legend=no");
}

}  // namespace
}  // namespace ordena::test
