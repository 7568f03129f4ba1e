// Pairing the objects of two databases by schema and name: every object in exactly one pair,
// letter case as the comparison settings say, exact namesakes before case-folded ones.
#include "dbcompare/pairing.h"

#include <gtest/gtest.h>

#include <set>

namespace orv {
namespace {

struct PairingCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> source; // schema, name
    std::vector<std::pair<std::string, std::string>> target;
    bool caseSensitive;
    // "source|target" per pair in order, "-" for a missing side.
    std::vector<std::string> expected;
};

std::vector<ObjectRef> Refs(const std::vector<std::pair<std::string, std::string>>& names) {
    std::vector<ObjectRef> refs;
    for (const auto& [schema, name] : names) {
        ObjectRef r;
        r.Schema = schema;
        r.Name = name;
        refs.push_back(r);
    }
    return refs;
}

const PairingCase kCases[] = {
    {"BothEmpty", {}, {}, false, {}},
    {"OneSideEmpty", {{"dbo", "a"}, {"dbo", "b"}}, {}, false, {"dbo.a|-", "dbo.b|-"}},
    {"SortedByKey",
     {{"dbo", "b"}, {"dbo", "a"}},
     {{"dbo", "c"}, {"dbo", "a"}},
     false,
     {"dbo.a|dbo.a", "dbo.b|-", "-|dbo.c"}},
    {"SchemaTellsApart",
     {{"dbo", "Orders"}, {"sales", "Orders"}},
     {{"sales", "Orders"}},
     false,
     {"dbo.Orders|-", "sales.Orders|sales.Orders"}},
    {"CaseFoldedWhenIgnored",
     {{"DBO", "Orders"}},
     {{"dbo", "ORDERS"}},
     false,
     {"DBO.Orders|dbo.ORDERS"}},
    {"CaseCountsWhenSensitive",
     {{"dbo", "Orders"}},
     {{"dbo", "ORDERS"}},
     true,
     {"-|dbo.ORDERS", "dbo.Orders|-"}},
    // Two objects whose names differ only in letter case (a case-sensitive database): each
    // finds its exact namesake first, whatever the list order.
    {"ExactNamesakeFirst",
     {{"dbo", "orders"}, {"dbo", "Orders"}},
     {{"dbo", "Orders"}, {"dbo", "orders"}},
     false,
     {"dbo.orders|dbo.orders", "dbo.Orders|dbo.Orders"}},
    {"LeftoversPairInOrder",
     {{"dbo", "x"}, {"dbo", "X"}},
     {{"dbo", "x"}},
     false,
     {"dbo.x|dbo.x", "dbo.X|-"}},
    // A dot in a name is not a schema boundary.
    {"DotsStayInNames", {{"a.b", "c"}}, {{"a", "b.c"}}, false, {"-|a.b.c", "a.b.c|-"}},
};

class Pairing : public ::testing::TestWithParam<PairingCase> {};

TEST_P(Pairing, EveryObjectInExactlyOnePair) {
    const PairingCase& c = GetParam();
    const std::vector<ObjectRef> source = Refs(c.source), target = Refs(c.target);
    std::vector<const ObjectRef*> s, t;
    for (const auto& r : source)
        s.push_back(&r);
    for (const auto& r : target)
        t.push_back(&r);
    const std::vector<PairIndex> pairs = PairObjects(s, t, c.caseSensitive);
    std::vector<std::string> got;
    std::multiset<int> seenSource, seenTarget;
    for (const PairIndex& p : pairs) {
        auto label = [](const std::vector<ObjectRef>& refs, int i) {
            return i < 0 ? std::string("-")
                         : refs[static_cast<size_t>(i)].Schema + "." +
                               refs[static_cast<size_t>(i)].Name;
        };
        got.push_back(label(source, p.Source) + "|" + label(target, p.Target));
        EXPECT_FALSE(p.Source < 0 && p.Target < 0);
        if (p.Source >= 0)
            seenSource.insert(p.Source);
        if (p.Target >= 0)
            seenTarget.insert(p.Target);
    }
    std::vector<std::string> expected = c.expected;
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(seenSource.size(), source.size());
    EXPECT_EQ(std::set<int>(seenSource.begin(), seenSource.end()).size(), source.size());
    EXPECT_EQ(std::set<int>(seenTarget.begin(), seenTarget.end()).size(), target.size());
}

INSTANTIATE_TEST_SUITE_P(Cases, Pairing, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PairingCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace orv
