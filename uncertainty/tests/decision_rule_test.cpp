// Verdicts under the two rules, at the edges of the guard band.
#include "decision_rule.h"
#include "meter_accuracy.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ortav::uncertainty;

TEST(DecisionRule, EdgesOfTheNormAndOfTheGuardBand) {
    // Binary fractions, so the sums are exact.
    struct Case {
        Rule rule;
        double deviation, permitted;
        std::optional<double> U;
        Verdict verdict;
    } cases[] = {
        {Rule::Simple, 0.5, 0.5, 0.25, Verdict::Pass}, // equality passes
        {Rule::Simple, -0.5, 0.5, 0.25, Verdict::Pass},
        {Rule::Simple, std::nextafter(0.5, 1.0), 0.5, 0.25, Verdict::Fail},
        {Rule::Simple, 0.75, 0.5, std::nullopt, Verdict::Fail}, // no U needed
        {Rule::Simple, 0.25, 0.5, std::nullopt, Verdict::Pass},
        {Rule::Guarded, 0.25, 0.5, 0.25, Verdict::Pass}, // |dev| + U exactly at the limit
        {Rule::Guarded, -0.25, 0.5, 0.25, Verdict::Pass},
        {Rule::Guarded, std::nextafter(0.25, 1.0), 0.5, 0.25, Verdict::Conditional},
        {Rule::Guarded, 0.25, 0.5, std::nextafter(0.25, 1.0), Verdict::Conditional},
        {Rule::Guarded, 0.5, 0.5, 0.25, Verdict::Conditional},  // within the norm, not by U
        {Rule::Guarded, 0.75, 0.5, 0.25, Verdict::Conditional}, // |dev| − U exactly at the limit
        {Rule::Guarded, -0.75, 0.5, 0.25, Verdict::Conditional},
        {Rule::Guarded, std::nextafter(0.75, 1.0), 0.5, 0.25, Verdict::Fail},
        {Rule::Guarded, 0.5, 0.5, 0.0, Verdict::Pass}, // U = 0: the simple rule
        {Rule::Guarded, 0.625, 0.5, 0.0, Verdict::Fail},
        {Rule::Guarded, 0.0, 0.5, std::nullopt, Verdict::Conditional}, // unknown U
        {Rule::Guarded, 5.0, 0.5, std::nullopt, Verdict::Conditional},
    };
    for (const Case &c : cases)
        EXPECT_EQ(decide(c.rule, c.deviation, c.permitted, c.U), c.verdict)
            << ruleName(c.rule) << " dev " << c.deviation << " U " << c.U.value_or(-1);
}

TEST(DecisionRule, NamesBothWays) {
    EXPECT_EQ(ruleFromName("simple"), Rule::Simple);
    EXPECT_EQ(ruleFromName("guarded"), Rule::Guarded);
    EXPECT_FALSE(ruleFromName("Guarded").has_value());
    EXPECT_STREQ(verdictName(Verdict::Conditional), "conditional");
    EXPECT_EQ(periodFromName("90d"), Period::Days90);
    EXPECT_FALSE(periodFromName("1 y").has_value());
    EXPECT_STREQ(periodName(Period::Hours24), "24h");
}
