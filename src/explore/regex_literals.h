// The literal runs every match of a regular expression must contain. std::regex walks a line
// character by character, which is slow over megabytes of definition text; a line that lacks
// one of these runs cannot match, and a plain substring search rules it out far faster.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orv {

// The runs of ordinary characters (ECMAScript grammar) that stand outside every group, class,
// alternative and optional or repeated atom, longest first. Empty when nothing is certain
// (an alternative at the top level, a construct this reading does not follow, or a run holding
// a byte above 127, whose case folding the expression may treat its own way).
std::vector<std::string> RequiredLiterals(std::string_view pattern);

// True when `line` holds `literal`; `foldedLiteral` is upper case when `caseSensitive` is off.
bool ContainsLiteral(std::string_view line, std::string_view foldedLiteral, bool caseSensitive);

} // namespace orv
