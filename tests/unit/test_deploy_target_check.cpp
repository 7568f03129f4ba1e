// Which objects of the Target a run checks before it goes: the included ones and what the script
// drops, recreates or relies on, taken from what the comparison saw. A miss here lets a run undo
// a change made since the comparison; the simulator round trip proves the reading itself.
#include "deploy/target_check.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace orv {
namespace {

PairVerdict Pair(ObjectType type, const std::string& name, bool source, bool target) {
    PairVerdict p;
    p.Type = type;
    p.HasSource = source;
    p.HasTarget = target;
    p.Source = {1, "dbo", name, ""};
    p.Target = {2, "dbo", name, ""};
    p.Status = source && target ? PairStatus::Different
               : source         ? PairStatus::OnlyInSource
                                : PairStatus::OnlyInTarget;
    p.TargetText = target ? "text of " + name : "";
    return p;
}

ModuleDef Module(ModuleKind kind, const std::string& name,
                 std::vector<std::pair<std::string, std::string>> uses = {},
                 const std::string& parent = {}) {
    ModuleDef m;
    m.Kind = kind;
    m.Schema = "dbo";
    m.Name = name;
    m.DependsOn = std::move(uses);
    if (!parent.empty()) {
        m.ParentSchema = "dbo";
        m.ParentName = parent;
    }
    return m;
}

TableDef Table(const std::string& name, const std::string& referenced = {}) {
    TableDef t;
    t.Schema = "dbo";
    t.Name = name;
    if (!referenced.empty()) {
        ForeignKeyDef fk;
        fk.Name = "FK_" + name + "_" + referenced;
        fk.RefSchema = "dbo";
        fk.RefTable = referenced;
        t.ForeignKeys.push_back(fk);
    }
    return t;
}

std::vector<std::string> Names(const std::vector<TargetSeen>& watched) {
    std::vector<std::string> names;
    for (const TargetSeen& s : watched)
        names.push_back(s.Name + (s.Present ? "" : " (absent)"));
    std::sort(names.begin(), names.end());
    return names;
}

// Every object of the comparison, identical unless included below.
DbCompareResults Seen() {
    DbCompareResults r;
    for (const char* table : {"Orders", "Lines", "Customers", "Spare"})
        r.Pairs.push_back(Pair(kTypeTable, table, true, true));
    for (const char* fk : {"FK_Lines_Orders", "FK_Orders_Customers"})
        r.Pairs.push_back(Pair(kTypeRelationship, fk, true, true));
    for (const char* proc : {"uspOrders", "uspHelper", "uspOther"})
        r.Pairs.push_back(Pair(kTypeProcedure, proc, true, true));
    r.Pairs.push_back(Pair(kTypeProcedure, "uspNew", true, false));
    r.Pairs.push_back(Pair(kTypeView, "vwOrders", true, true));
    r.Pairs.push_back(Pair(kTypeView, "vwOld", false, true));
    r.Pairs.push_back(Pair(kTypeTrigger, "trOrders", true, true));
    for (PairVerdict& p : r.Pairs)
        p.Status = PairStatus::Identical;
    return r;
}

TEST(TargetCheckWatch, WatchesTheIncludedAndWhatTheScriptTouches) {
    SchemaModel source, target;
    for (SchemaModel* m : {&source, &target}) {
        m->Tables = {Table("Orders", "Customers"), Table("Lines", "Orders"), Table("Customers"),
                     Table("Spare")};
        m->Tables[0].ForeignKeys[0].Name = "FK_Orders_Customers";
        m->Modules = {Module(ModuleKind::Procedure, "uspOrders", {{"", "uspHelper"}}),
                      Module(ModuleKind::Procedure, "uspHelper"),
                      Module(ModuleKind::Procedure, "uspOther", {{"dbo", "Spare"}}),
                      Module(ModuleKind::View, "vwOrders", {{"dbo", "Orders"}}),
                      Module(ModuleKind::Trigger, "trOrders", {}, "Orders")};
    }
    source.Modules.push_back(Module(ModuleKind::Procedure, "uspNew", {{"dbo", "Customers"}}));
    target.Modules.push_back(Module(ModuleKind::View, "vwOld", {{"dbo", "Spare"}}));
    const TargetBaseline baseline(Seen());
    const DeployObject orders{kTypeTable, "dbo", "Orders", PairStatus::Different};
    const DeployObject procedure{kTypeProcedure, "dbo", "uspOrders", PairStatus::Different};
    const DeployObject created{kTypeProcedure, "dbo", "uspNew", PairStatus::OnlyInSource};
    const DeployObject dropped{kTypeView, "dbo", "vwOld", PairStatus::OnlyInTarget};
    const struct {
        const char* what;
        std::vector<DeployObject> included;
        std::vector<std::string> watched;
    } cases[] = {
        // A table: the tables and keys on either end of its foreign keys, its trigger and the
        // view over it (which a column change may drop and make again).
        {"table",
         {orders},
         {"Customers", "FK_Lines_Orders", "FK_Orders_Customers", "Lines", "Orders", "trOrders",
          "vwOrders"}},
        // A procedure: what it calls, named in one part.
        {"procedure", {procedure}, {"uspHelper", "uspOrders"}},
        // A new procedure: watched as absent, with the table it uses.
        {"created", {created}, {"Customers", "uspNew (absent)"}},
        // A view the script drops: the view and what it uses; the table beside it is left.
        {"dropped", {dropped}, {"Spare", "vwOld"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Names(baseline.Watched(c.included, RelatedObjects(source, target, c.included))),
                  c.watched);
    }
}

// What the comparison saw is kept per object: present or not, the fingerprint when one was
// taken, and the text's digest only where the text was read.
TEST(TargetCheckWatch, TheBaselineKeepsWhatTheComparisonRead) {
    DbCompareResults r;
    r.Fingerprints = FingerprintForm::CommentRows;
    PairVerdict byPrint = Pair(kTypeProcedure, "uspSame", true, true);
    byPrint.Status = PairStatus::Identical;
    byPrint.TextsRead = false;
    byPrint.TargetText.clear();
    byPrint.TargetFingerprint = "\x01\x02";
    PairVerdict table = Pair(kTypeTable, "Orders", true, true);
    table.TargetText = "[Id] [int] NOT NULL\r\n\r\nINDEX [IX] ([Id])";
    PairVerdict other = table;
    other.TargetText = "[Id] [int] NOT NULL\r\n\r\nINDEX [IX2] ([Id])";
    other.Target.Name = other.Source.Name = "Orders2";
    r.Pairs = {byPrint, table, other, Pair(kTypeView, "vwNew", true, false)};
    const TargetBaseline baseline(r);
    EXPECT_EQ(baseline.Form(), FingerprintForm::CommentRows);
    std::vector<DeployObject> all;
    for (const PairVerdict& p : r.Pairs)
        all.push_back({p.Type, "DBO", (p.HasTarget ? p.Target : p.Source).Name, p.Status});
    const std::vector<TargetSeen> seen = baseline.Watched(all, {});
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].Fingerprint, "\x01\x02");
    EXPECT_FALSE(seen[0].TextKnown);
    EXPECT_TRUE(seen[1].TextKnown);
    // Same columns, other indexes: only the second part differs.
    EXPECT_EQ(seen[1].ColumnsDigest, seen[2].ColumnsDigest);
    EXPECT_NE(seen[1].RestDigest, seen[2].RestDigest);
    EXPECT_FALSE(seen[3].Present);
    // An object the comparison never saw is not watched: nothing to hold it against.
    EXPECT_TRUE(
        baseline.Watched({{kTypeTable, "dbo", "Elsewhere", PairStatus::Different}}, {}).empty());
}

TEST(TargetCheckText, EachChangeOnALineOfItsOwn) {
    TargetCheck check;
    check.Changes = {{kTypeProcedure, "dbo", "uspA", "text changed"},
                     {kTypeTable, "sales", "Orders", "columns changed"},
                     {kTypeView, "dbo", "vwB", "disappeared"}};
    EXPECT_EQ(TargetChangeList(check, "\n"), "\n  procedure dbo.uspA: text changed"
                                             "\n  table sales.Orders: columns changed"
                                             "\n  view dbo.vwB: disappeared");
}

} // namespace
} // namespace orv
