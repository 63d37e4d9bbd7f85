#include "decision_rule.h"

#include <cmath>

namespace ortav::uncertainty {

const char *ruleName(Rule r) {
    return r == Rule::Guarded ? "guarded" : "simple";
}

std::optional<Rule> ruleFromName(const std::string &name) {
    if (name == "simple")
        return Rule::Simple;
    if (name == "guarded")
        return Rule::Guarded;
    return std::nullopt;
}

const char *verdictName(Verdict v) {
    switch (v) {
    case Verdict::Pass:
        return "pass";
    case Verdict::Fail:
        return "fail";
    default:
        return "conditional";
    }
}

Verdict decide(Rule rule, double deviation, double permitted, std::optional<double> expanded) {
    const double d = std::fabs(deviation);
    if (rule == Rule::Simple)
        return d > permitted ? Verdict::Fail : Verdict::Pass;
    if (!expanded)
        return Verdict::Conditional;
    // permitted − U rather than |dev| + U: a sum that rounds down to the limit
    // would pass a point one step beyond it.
    if (d <= permitted - *expanded)
        return Verdict::Pass;
    if (d - *expanded > permitted)
        return Verdict::Fail;
    return Verdict::Conditional;
}

} // namespace ortav::uncertainty
