// Which objects a whole-database or data comparison looks at, and how its outcome becomes an
// exit status.
//
// A pattern is `[TYPE:][schema.]name`: TYPE is one of the object type words the command line
// uses elsewhere (tables, procedures, functions, views, triggers, relationships, constraints,
// singular or plural, or their codes); schema and name may hold "*" (any run of characters)
// and "?" (one character) and compare without regard to letter case, as names do on SQL
// Server. A pattern without a schema part matches the name in every schema. An object is
// compared when it matches an include pattern (or there are none) and no exclude pattern:
// exclude wins.
#pragma once

#include "catalog/object_types.h"
#include "dbcompare/data_compare_results.h"
#include "dbcompare/db_compare_results.h"
#include "util/progress.h"

#include <string>
#include <vector>

namespace orv {

struct ObjectPattern {
    ObjectType Type = kTypeNone; // kTypeNone: every type
    bool AnySchema = true;
    std::string Schema;
    std::string Name;
};

// False with a message naming the pattern when it is empty or names an unknown type.
bool ParseObjectPattern(const std::string& text, ObjectPattern& pattern, std::string& error);

struct ObjectFilter {
    std::vector<std::string> Include;
    std::vector<std::string> Exclude;

    bool Empty() const { return Include.empty() && Exclude.empty(); }
    // False with the first bad pattern's message.
    bool Check(std::string& error) const;
    // Whether an object of `type` named `schema`.`name` is compared. Patterns that do not parse
    // match nothing (Check refuses them before a run).
    bool Passes(ObjectType type, const std::string& schema, const std::string& name) const;
};

// What a pair that cannot be compared (encrypted, unreadable) does to the exit status:
// Error makes the run's status 2, Report lists it and leaves the status to the other pairs.
enum class NotComparablePolicy { Error, Report };

// "error" or "report" (any letter case); false for another word.
bool ParseNotComparablePolicy(const std::string& word, NotComparablePolicy& policy);
const char* NotComparablePolicyWord(NotComparablePolicy policy);

class OptionWords;

// The command line's --include PATTERN and --exclude PATTERN (each repeatable) and
// --not-comparable error|report, read at the reader's current word. 1 when the word was one of
// them, 0 when it is another word, -1 with `error` on a bad or repeated value.
int ReadFilterOption(OptionWords& reader, ObjectFilter& filter, NotComparablePolicy& policy,
                     bool& policyGiven, std::string& error);

constexpr int kComparisonExitIdentical = 0;
constexpr int kComparisonExitDifferent = 1;
constexpr int kComparisonExitError = 2;

// The one rule every comparison's exit status follows: 2 when the run did not complete or
// failed in part, or a pair is not comparable under the Error policy; 1 when a pair differs
// or is on one side only; 0 otherwise.
int ComparisonExitStatus(bool complete, bool failedPart, bool anyNotComparable, bool anyDifference,
                         NotComparablePolicy policy);
// That rule over a whole-database comparison's pairs and over a data comparison's tables (a
// table cut short counts as a failed part).
int DbCompareExitStatus(const DbCompareResults& results, NotComparablePolicy policy);
int DataCompareExitStatus(const DataCompareResults& results, NotComparablePolicy policy);

// A data comparison that failed once its stop was asked for (a statement cut off, or timed out
// while the run was stopping) as the stopped run it is; any other results as they are.
DataCompareResultsPtr StoppedIfCancelled(DataCompareResultsPtr results, const CancelToken& cancel);

// "the comparison did not complete: <problem>" (its line breaks as LF), or with a full stop
// when there is no problem to give.
std::string NotCompletedText(const std::string& problem);

} // namespace orv
