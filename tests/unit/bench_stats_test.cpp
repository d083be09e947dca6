#include <gtest/gtest.h>

#include <vector>

#include "bench/bench_stats.h"

namespace tavelin::bench {
namespace {

TEST(BenchStats, PercentilesInterpolateBetweenRanksOfTheSortedSamples) {
    const struct {
        std::vector<double> samples;
        double share, expected;
    } cases[] = {
        {{}, 0.5, 0},
        {{7}, 0.5, 7},
        {{7}, 0.25, 7},
        {{3, 1, 2}, 0.5, 2},         // unsorted input
        {{4, 1, 3, 2}, 0.5, 2.5},    // even count: between the middle two
        {{1, 2, 3, 4, 5}, 0.25, 2},
        {{1, 2, 3, 4}, 0.25, 1.75},  // rank 0.75
        {{1, 2, 3, 4}, 0.75, 3.25},
        {{10, 20}, 0, 10},
        {{10, 20}, 1, 20},
        {{10, 20}, 1.5, 20},         // shares beyond [0, 1] are held to it
        {{10, 20}, -1, 10},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(Percentile(c.samples, c.share), c.expected)
            << c.samples.size() << " samples, share " << c.share;
    }
    EXPECT_DOUBLE_EQ(Median({5, 1, 9, 3}), 4);
}

TEST(BenchStats, SpreadIsTheInterquartileRangeAndIgnoresOneOutlier) {
    EXPECT_DOUBLE_EQ(Spread({}), 0);
    EXPECT_DOUBLE_EQ(Spread({5, 5, 5}), 0);
    EXPECT_DOUBLE_EQ(Spread({1, 2, 3, 4, 5}), 2);
    EXPECT_DOUBLE_EQ(Spread({1, 2, 3, 4, 5, 6, 7, 8, 9, 1000}), Spread({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST(BenchStats, RatiosAgainstNothingMeasuredAreZero) {
    EXPECT_DOUBLE_EQ(Ratio(3, 2), 1.5);
    EXPECT_DOUBLE_EQ(Ratio(0, 2), 0);
    EXPECT_DOUBLE_EQ(Ratio(3, 0), 0);
    EXPECT_DOUBLE_EQ(Ratio(3, -1), 0);
}

TEST(BenchStats, MillisecondsKeepThreeFiguresBelowAHundred) {
    const struct {
        double ms;
        const char* shown;
    } cases[] = {{0.01234, "0.012"}, {0.9996, "1.000"}, {1.234, "1.23"}, {12.345, "12.3"},
                 {99.94, "99.9"},    {123.4, "123"},    {2500.6, "2501"}};
    for (const auto& c : cases) EXPECT_EQ(Milliseconds(c.ms), c.shown) << c.ms;
    EXPECT_EQ(Fixed(2.345, 1), "2.3");
}

}  // namespace
}  // namespace tavelin::bench
