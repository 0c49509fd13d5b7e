#include "engine/ProgressEstimate.h"

#include <gtest/gtest.h>

namespace {

class ProgressEstimateTest : public ::testing::Test {
protected:
    // Finishes the next picture `seconds` after the one before.
    void Finish(double seconds)
    {
        now += seconds;
        estimate.Update(++done);
    }

    double now = 100;
    int done = 0;
    ProgressEstimate estimate{[this] { return now; }};
};

TEST_F(ProgressEstimateTest, NothingIsSaidBeforeTheFirstFewPictures)
{
    estimate.Start(40);
    EXPECT_FALSE(estimate.Ready());
    Finish(0.5);
    Finish(0.5);
    EXPECT_FALSE(estimate.Ready());
    EXPECT_EQ(estimate.Rate(), 0);
    EXPECT_EQ(estimate.SecondsLeft(), 0);
    EXPECT_EQ(estimate.Percent(), 5);
    Finish(0.5);
    EXPECT_TRUE(estimate.Ready());
}

TEST_F(ProgressEstimateTest, ASteadyRunGivesItsRateAndCountsDownBetweenPictures)
{
    estimate.Start(40);
    for (int i = 0; i < 4; ++i) Finish(0.5);
    EXPECT_DOUBLE_EQ(estimate.Rate(), 2.0);
    EXPECT_DOUBLE_EQ(estimate.SecondsLeft(), 18.0);
    EXPECT_EQ(estimate.PaceText("%1/s, %2 left"), "2.0/s, 0:18 left");
    EXPECT_EQ(estimate.PaceText("no marks"), "no marks");
    now += 0.3;
    EXPECT_DOUBLE_EQ(estimate.SecondsLeft(), 17.7);
    // A stalled picture never makes the time left negative.
    now += 60;
    EXPECT_EQ(estimate.SecondsLeft(), 0);
}

TEST_F(ProgressEstimateTest, JitterMovesTheRateLittle)
{
    estimate.Start(200);
    // Pictures of 0.2 s and 0.8 s in turn: 2 pictures a second on average.
    for (int i = 0; i < 60; ++i) {
        Finish(i % 2 == 0 ? 0.2 : 0.8);
        if (estimate.Ready()) {
            EXPECT_GT(estimate.Rate(), 1.6) << "after picture " << done;
            EXPECT_LT(estimate.Rate(), 2.6) << "after picture " << done;
        }
    }
    EXPECT_NEAR(estimate.SecondsLeft(), 70, 10);
}

TEST_F(ProgressEstimateTest, TheRateFollowsAChangeOfPaceAndForgetsTheStartUp)
{
    estimate.Start(100);
    Finish(5); // the graph's start-up
    for (int i = 0; i < 9; ++i) Finish(0.1);
    EXPECT_LT(estimate.Rate(), 2.0);
    for (int i = 0; i < 10; ++i) Finish(0.1);
    EXPECT_NEAR(estimate.Rate(), 10.0, 1e-9);
    for (int i = 0; i < 10; ++i) Finish(1.0);
    EXPECT_NEAR(estimate.Rate(), 1.0, 1e-9);
    EXPECT_NEAR(estimate.SecondsLeft(), 70.0, 1e-9);
}

TEST_F(ProgressEstimateTest, PollsThatSeeSeveralPicturesAtOnceCountThemAll)
{
    estimate.Start(10);
    now += 2;
    estimate.Update(4);
    estimate.Update(4);
    estimate.Update(3);
    EXPECT_DOUBLE_EQ(estimate.Rate(), 2.0);
    now += 1;
    estimate.Update(25);
    EXPECT_EQ(estimate.Percent(), 100) << "more than the total is the total";
    EXPECT_EQ(estimate.SecondsLeft(), 0);
}

TEST_F(ProgressEstimateTest, AnEmptyRunOrAFrozenClockEstimatesNothing)
{
    estimate.Start(0);
    estimate.Update(3);
    EXPECT_EQ(estimate.Percent(), 0);
    EXPECT_FALSE(estimate.Ready());
    estimate.Start(10);
    estimate.Update(5);
    EXPECT_FALSE(estimate.Ready()) << "no time has passed";
    ProgressEstimate unstarted{[this] { return now; }};
    unstarted.Update(5);
    EXPECT_FALSE(unstarted.Ready());
}

TEST(ProgressEstimateText, DurationsAndRatesAreShort)
{
    EXPECT_EQ(ProgressEstimate::FormatDuration(0), "0:00");
    EXPECT_EQ(ProgressEstimate::FormatDuration(6.2), "0:07");
    EXPECT_EQ(ProgressEstimate::FormatDuration(750), "12:30");
    EXPECT_EQ(ProgressEstimate::FormatDuration(3723), "1:02:03");
    EXPECT_EQ(ProgressEstimate::FormatDuration(-4), "0:00");
    EXPECT_EQ(ProgressEstimate::FormatDuration(1e300), "23:59:59");
    EXPECT_EQ(ProgressEstimate::FormatRate(2.46), "2.5");
    EXPECT_EQ(ProgressEstimate::FormatRate(12.4), "12");
    EXPECT_EQ(ProgressEstimate::FormatRate(0.254), "0.25");
}

} // namespace
