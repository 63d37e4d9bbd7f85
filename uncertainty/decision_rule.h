// How a deviation is judged against its norm: `simple` (within the permitted
// deviation passes, however uncertain the reading) or `guarded` (a guard band
// of U on each side: pass only when |deviation| + U is within the norm, fail
// only when |deviation| − U is beyond it, "conditional" in between).
#pragma once

#include <optional>
#include <string>

namespace ortav::uncertainty {

enum class Rule { Simple, Guarded };
enum class Verdict { Pass, Fail, Conditional };

// "simple", "guarded" and back.
const char *ruleName(Rule r);
std::optional<Rule> ruleFromName(const std::string &name);
// "pass", "fail", "conditional".
const char *verdictName(Verdict v);

// expanded: U, or nullopt when unknown (a guarded pass cannot be given then).
// Equality passes under both rules.
Verdict decide(Rule rule, double deviation, double permitted, std::optional<double> expanded);

} // namespace ortav::uncertainty
