#pragma once

// How comparison rules are named to the user, on the screens and on the command line alike.

#include <string>
#include <string_view>

#include "engine/values/ComparisonRule.h"

namespace rowlark::results {

// "As read", "Number", "Date", "Date and time", "Yes/no", "Text", "Ignore".
std::string_view ruleTitle(values::RuleKind kind);
// The title with the rule's options: "Number within 0.01 or 0.1%", "Date and time within 5 s",
// "Text ignoring case and punctuation", "Date, day first".
std::string ruleDescription(const values::ComparisonRule& rule);
// What a value is under the rule, for "the same number written differently": "number", "date",
// "date and time", "yes/no value", "text".
std::string_view formatOnlyNoun(values::RuleKind kind);
// "as numbers", "as dates", "as dates and times", "as yes/no values", "as text".
std::string_view comparedAsText(values::RuleKind kind);
// The action that takes a proposed rule: "Compare as numbers".
std::string proposalAction(values::RuleKind kind);

}  // namespace rowlark::results
