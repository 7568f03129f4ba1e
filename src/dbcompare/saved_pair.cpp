#include "dbcompare/saved_pair.h"

#include "catalog/ignored_columns.h"
#include "catalog/listing.h"
#include "catalog/object_lookup.h"
#include "catalog/object_text.h"
#include "catalog/table_script.h"
#include "compare/view_pair.h"
#include "util/memory_list_control.h"
#include "util/memory_prompter.h"
#include "util/memory_text_view.h"
#include "util/text.h"

namespace orv {

namespace {

const char* const kSide[2] = {"Source", "Target"};

// The saved object in its side's listing: by id first (a renamed object keeps its id only
// until it is re-created), then by the listed name.
bool Locate(ServerEntry& server, const std::string& database, ObjectType type,
            const std::string& name, int32_t id, std::string& listed, int32_t& foundId) {
    MemoryListControl list;
    MemoryTextView view;
    LoadObjects(server, list, view, type, database, false);
    int row = FindListedObject(server, database, list, name);
    for (int r = 0; r < list.Count() && row < 0 && id != 0; ++r) {
        int32_t rowId = 0;
        if (ParseInt32(list.CellText(r, 2), rowId) && rowId == id)
            row = r;
    }
    if (row < 0)
        return false;
    listed = list.CellText(row, 0);
    ParseInt32(list.CellText(row, 2), foundId);
    return true;
}

std::string ShownText(ServerEntry& server, const std::string& database, ObjectType type,
                      const std::string& listed, int32_t id) {
    MemoryTextView view;
    MemoryListControl list;
    while (list.ColumnCount() < 3)
        list.AddColumn("", 0);
    list.AddItem(listed);
    list.SetCellText(0, 2, std::to_string(id));
    list.SetCurrentRow(0);
    list.SetSelected(0, true);
    UpdateProcedureTextBox(server, view, list, type, database, listed, id);
    return view.Text();
}

} // namespace

DbCompareResultsPtr OnePairResults(const ReplayPlan& plan, const std::string (&listed)[2],
                                   const int32_t (&ids)[2], const std::string (&texts)[2],
                                   bool identical, CompLines sourceLines, CompLines targetLines) {
    auto results = std::make_shared<DbCompareResults>();
    results->Started = std::time(nullptr);
    results->Kind = DbCompareKind::Selective;
    results->Details = true;
    results->Types = {plan.PairType};
    PairVerdict v;
    v.Type = plan.PairType;
    v.Status = identical ? PairStatus::Identical : PairStatus::Different;
    v.HasSource = v.HasTarget = true;
    ObjectRef* refs[2] = {&v.Source, &v.Target};
    for (int side = 0; side < 2; ++side) {
        results->ServerName[side] = plan.ServerName[side];
        results->DbName[side] = plan.Database[side];
        refs[side]->Id = ids[side];
        refs[side]->Name = listed[side];
    }
    v.SourceText = texts[0];
    v.TargetText = texts[1];
    if (!identical) {
        v.SourceLines = std::move(sourceLines);
        v.TargetLines = std::move(targetLines);
    }
    results->Pairs.push_back(std::move(v));
    return results;
}

DbCompareResultsPtr RunSavedPair(const ReplayPlan& plan, ServerEntry (&servers)[2],
                                 const CompareOptions& options, std::string& error) {
    // The catalog's messages on this thread would otherwise open message boxes; they become
    // the reason. Other threads keep their prompter.
    MemoryPrompter quiet;
    ThreadPrompterScope scope(quiet);
    auto reason = [&](const std::string& text) {
        error = text;
        if (!quiet.messages.empty())
            error += " (" + ReplaceAll(quiet.messages.front().text, "\r\n", " ") + ")";
        return nullptr;
    };
    std::string listed[2];
    int32_t ids[2] = {0, 0};
    std::string texts[2];
    for (int side = 0; side < 2; ++side) {
        if (!Locate(servers[side], plan.Database[side], plan.PairType, plan.PairName[side],
                    plan.PairId[side], listed[side], ids[side]))
            return reason(std::string(kSide[side]) +
                          " object not found: " + GetObjectTypeName(plan.PairType, true) + " '" +
                          plan.PairName[side] + "' in database '" + plan.Database[side] +
                          "' on server '" + servers[side].Name + "'.");
        texts[side] =
            ShownText(servers[side], plan.Database[side], plan.PairType, listed[side], ids[side]);
        if (Trim(texts[side]).empty())
            return reason(std::string(kSide[side]) + " object '" + listed[side] +
                          "' has no text to compare.");
    }

    CompareServices services;
    services.ignoredColumns = [&](int side) {
        return ListedTableIgnoredColumns(kIgnoredForStructure, servers[side], plan.Database[side],
                                         listed[side], ids[side]);
    };
    services.tableScriptWithoutIgnored = [&](int side) {
        int32_t ignored = 0;
        return GetTableScript(servers[side], listed[side], plan.Database[side], true, ignored,
                              ids[side], "", false);
    };
    MemoryTextView views[2];
    views[0].SetText(texts[0]);
    views[1].SetText(texts[1]);
    ViewPair pair(views[0], views[1]);
    std::string_view compared[2] = {ViewTextForComparison(pair, 0), ViewTextForComparison(pair, 1)};
    const PairDecision decision =
        DecideObjectPair(pair, compared, plan.PairType, options, services, false);
    auto results = OnePairResults(plan, listed, ids, texts, decision.Identical,
                                  std::move(pair.Lines(0)), std::move(pair.Lines(1)));
    if (decision.ColumnsIgnored) {
        auto copy = std::make_shared<DbCompareResults>(*results);
        copy->Pairs.front().ColumnsIgnored = true;
        return copy;
    }
    return results;
}

} // namespace orv
