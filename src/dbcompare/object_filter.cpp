#include "dbcompare/object_filter.h"

#include "dbcompare/db_compare_filter.h"
#include "util/option_words.h"
#include "util/text.h"

namespace orv {

bool ParseObjectPattern(const std::string& text, ObjectPattern& pattern, std::string& error) {
    pattern = ObjectPattern{};
    std::string rest = Trim(text);
    const size_t colon = rest.find(':');
    if (colon != std::string::npos) {
        const std::string word = Trim(rest.substr(0, colon));
        const std::optional<ObjectType> type = ParseObjectType(word);
        if (!type) {
            error = "unknown object type '" + word + "' in the pattern '" + text + "'";
            return false;
        }
        pattern.Type = *type;
        rest = Trim(rest.substr(colon + 1));
    }
    const size_t dot = rest.find('.');
    if (dot != std::string::npos) {
        pattern.AnySchema = false;
        pattern.Schema = Trim(rest.substr(0, dot));
        rest = Trim(rest.substr(dot + 1));
        if (pattern.Schema.empty()) {
            error = "the pattern '" + text + "' has an empty schema part";
            return false;
        }
    }
    if (rest.empty()) {
        error = "the pattern '" + text + "' has no name";
        return false;
    }
    pattern.Name = rest;
    return true;
}

namespace {

bool Matches(const std::string& text, ObjectType type, const std::string& schema,
             const std::string& name) {
    ObjectPattern p;
    std::string error;
    if (!ParseObjectPattern(text, p, error))
        return false;
    if (p.Type != kTypeNone && p.Type != type)
        return false;
    if (!p.AnySchema && !WildcardMatch(p.Schema, schema))
        return false;
    return WildcardMatch(p.Name, name);
}

} // namespace

bool ObjectFilter::Check(std::string& error) const {
    ObjectPattern p;
    for (const auto* list : {&Include, &Exclude})
        for (const std::string& text : *list)
            if (!ParseObjectPattern(text, p, error))
                return false;
    return true;
}

bool ObjectFilter::Passes(ObjectType type, const std::string& schema,
                          const std::string& name) const {
    for (const std::string& text : Exclude)
        if (Matches(text, type, schema, name))
            return false;
    if (Include.empty())
        return true;
    for (const std::string& text : Include)
        if (Matches(text, type, schema, name))
            return true;
    return false;
}

bool ParseNotComparablePolicy(const std::string& word, NotComparablePolicy& policy) {
    const std::string w = ToLowerAscii(Trim(word));
    if (w == "error")
        policy = NotComparablePolicy::Error;
    else if (w == "report")
        policy = NotComparablePolicy::Report;
    else
        return false;
    return true;
}

const char* NotComparablePolicyWord(NotComparablePolicy policy) {
    return policy == NotComparablePolicy::Report ? "report" : "error";
}

int ComparisonExitStatus(bool complete, bool failedPart, bool anyNotComparable, bool anyDifference,
                         NotComparablePolicy policy) {
    if (!complete || failedPart)
        return kComparisonExitError;
    if (anyNotComparable && policy == NotComparablePolicy::Error)
        return kComparisonExitError;
    return anyDifference ? kComparisonExitDifferent : kComparisonExitIdentical;
}

int ReadFilterOption(OptionWords& reader, ObjectFilter& filter, NotComparablePolicy& policy,
                     bool& policyGiven, std::string& error) {
    const std::string& name = reader.Name();
    std::string v;
    if (name == "--include" || name == "--exclude") {
        ObjectPattern pattern;
        if (!reader.Value(v, error) || !ParseObjectPattern(v, pattern, error))
            return -1;
        (name == "--include" ? filter.Include : filter.Exclude).push_back(Trim(v));
        return 1;
    }
    if (name == "--not-comparable") {
        if (!reader.Once(policyGiven, error) || !reader.Value(v, error))
            return -1;
        if (!ParseNotComparablePolicy(v, policy)) {
            error = "unknown --not-comparable value '" + v + "' (error or report)";
            return -1;
        }
        return 1;
    }
    return 0;
}

int DbCompareExitStatus(const DbCompareResults& results, NotComparablePolicy policy) {
    const StatusCounts c = results.Totals();
    return ComparisonExitStatus(
        results.Complete(), false, c[PairStatus::NotComparable] > 0,
        c[PairStatus::Different] + c[PairStatus::OnlyInSource] + c[PairStatus::OnlyInTarget] > 0,
        policy);
}

int DataCompareExitStatus(const DataCompareResults& results, NotComparablePolicy policy) {
    bool cut = false, notComparable = false, differ = false;
    for (const DataTableResult& t : results.Tables) {
        cut = cut || t.Incomplete;
        if (t.Status == DataPairStatus::NotComparable)
            notComparable = true;
        else if (t.Status != DataPairStatus::Identical)
            differ = true;
    }
    return ComparisonExitStatus(results.Complete(), cut, notComparable, differ, policy);
}

DataCompareResultsPtr StoppedIfCancelled(DataCompareResultsPtr results, const CancelToken& cancel) {
    if (!results || results->Outcome != RunOutcome::Failed || !cancel.cancelRequested())
        return results;
    auto stopped = std::make_shared<DataCompareResults>(*results);
    stopped->Outcome = RunOutcome::Cancelled;
    stopped->Problem = kStoppedByUser;
    return stopped;
}

std::string NotCompletedText(const std::string& problem) {
    const std::string reason = TrimWhitespace(ReplaceAll(problem, "\r\n", "\n"));
    return "the comparison did not complete" + (reason.empty() ? std::string(".") : ": " + reason);
}

} // namespace orv
