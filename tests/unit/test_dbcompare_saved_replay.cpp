// Running a saved process without a window, over injected servers and comparisons: what each
// kind of process asks for, the exit status, and an export that is all or nothing.
#include "dbcompare/saved_replay.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace orv {
namespace {

namespace fs = std::filesystem;

ComparisonDescription Process(int32_t subType, const std::string& flags) {
    ComparisonDescription d;
    d.CompType = kCompTypeStructure;
    d.CompSubType = subType;
    d.EncObjTypes = flags;
    d.ServerName[0] = "SRC";
    d.ServerName[1] = "TGT";
    d.DbName[0] = "Shop";
    d.DbName[1] = "ShopTest";
    return d;
}

TEST(SavedReplayPlan, EachKindAsksForItsComparison) {
    ReplayPlan plan;
    std::string error;
    ComparisonDescription all = Process(kCompSubTypeAllObjects, "1,0,1,0,0,1,0");
    all.CompSubSubType = kCompSubSubTypeDetails;
    ASSERT_TRUE(PlanReplay(all, plan, error)) << error;
    EXPECT_EQ(plan.Kind, ReplayKind::WholeDatabase);
    EXPECT_EQ(plan.DbKind, DbCompareKind::All);
    EXPECT_TRUE(plan.Details);
    EXPECT_EQ(plan.Types, (std::vector<ObjectType>{kTypeTable, kTypeFunction, kTypeRelationship}));

    ComparisonDescription selective = Process(kCompSubTypeSelective, "0,0,0,1,0,0,0");
    selective.CheckCount[1] = 1;
    selective.CheckedObjects[1] = {"30,77,dbo.Sales, by region"};
    selective.SavedFullExportFilePath = "/tmp/v.csv";
    selective.ExportType = kExportCsv;
    ASSERT_TRUE(PlanReplay(selective, plan, error)) << error;
    EXPECT_EQ(plan.DbKind, DbCompareKind::Selective);
    EXPECT_TRUE(plan.Selected[0].empty());
    ASSERT_EQ(plan.Selected[1].size(), 1u);
    EXPECT_EQ(plan.Selected[1][0].Id, 77);
    EXPECT_EQ(plan.Selected[1][0].ListedName, "dbo.Sales, by region");
    EXPECT_EQ(plan.ExportFormat, ReportFormat::Csv);

    // A pick of another type than the process compares cannot be run as saved.
    selective.CheckedObjects[1] = {"50,77,dbo.Sales"};
    EXPECT_FALSE(PlanReplay(selective, plan, error));

    ComparisonDescription pair = Process(kCompSubTypeSinglePair, "0000100");
    pair.TableName[0] = "trg_a";
    pair.TableName[1] = "trg_b";
    pair.TableId[0] = "12";
    ASSERT_TRUE(PlanReplay(pair, plan, error)) << error;
    EXPECT_EQ(plan.Kind, ReplayKind::SinglePair);
    EXPECT_EQ(plan.PairType, kTypeTrigger);
    EXPECT_EQ(plan.PairName[1], "trg_b");
    EXPECT_EQ(plan.PairId[0], 12);

    // A data comparison of every table, and of picked pairs with their keys and mode.
    ComparisonDescription data = Process(kCompSubTypeDataAllTables, "1,0,0,0,0,0,0");
    data.CompType = kCompTypeData;
    ASSERT_TRUE(PlanReplay(data, plan, error)) << error;
    EXPECT_EQ(plan.Kind, ReplayKind::Data);
    EXPECT_TRUE(plan.DataAllTables);
    EXPECT_EQ(plan.DataMode, DataCompareMode::Auto);
    data.CompSubType = kCompSubTypeDataSelected;
    data.CheckedObjects[0] = {"[dbo].[A]", "[B]"};
    data.CheckedObjects[1] = {"[dbo].[A]", "[x].[B]]c]"};
    data.DataKeys = {"", "[Code],[Part]]2]"};
    data.DataMode = kDataModeHash;
    ASSERT_TRUE(PlanReplay(data, plan, error)) << error;
    ASSERT_EQ(plan.DataTables.size(), 2u);
    EXPECT_FALSE(plan.DataAllTables);
    EXPECT_EQ(plan.DataMode, DataCompareMode::Hash);
    EXPECT_EQ(plan.DataTables[0].Key, std::vector<std::string>{});
    EXPECT_EQ(plan.DataTables[1].Schema[0], "");
    EXPECT_EQ(plan.DataTables[1].Schema[1], "x");
    EXPECT_EQ(plan.DataTables[1].Name[1], "B]c");
    EXPECT_EQ(plan.DataTables[1].Key, (std::vector<std::string>{"Code", "Part]2"}));

    // A kind of comparison this program has no runner for is refused, not guessed at.
    ComparisonDescription other = Process(kCompSubTypeAllObjects, "1,0,0,0,0,0,0");
    other.CompType = 9;
    EXPECT_FALSE(PlanReplay(other, plan, error));
    EXPECT_NE(error.find("kind 9"), std::string::npos) << error;
}

class SavedReplayRun : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "orvreplay-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern + "/";
        services.resolveServer = [this](const std::string& name, ServerEntry& entry,
                                        std::string& error) {
            if (name == refusedServer) {
                error = "cannot connect to server '" + name + "': Login failed.";
                return false;
            }
            entry.Name = name;
            return true;
        };
        services.runDb = [this](const DbCompareRequest& request, ProgressSink&,
                                const CancelToken&) {
            lastRequest = request;
            auto r = std::make_shared<DbCompareResults>();
            r->Kind = request.Kind;
            r->Types = request.Types;
            r->ServerName[0] = request.Server[0].Name;
            r->ServerName[1] = request.Server[1].Name;
            for (PairStatus s : statuses) {
                PairVerdict v;
                v.Type = request.Types.front();
                v.Status = s;
                v.HasSource = s != PairStatus::OnlyInTarget;
                v.HasTarget = s != PairStatus::OnlyInSource;
                v.Source.Name = v.Target.Name = "obj" + std::to_string(r->Pairs.size());
                r->Pairs.push_back(v);
            }
            r->Outcome = outcome;
            if (outcome != RunOutcome::Completed)
                r->Problem = "Communication link failure";
            return r;
        };
    }
    void TearDown() override { fs::remove_all(dir_); }

    ReplayOutcome Run(const ComparisonDescription& d, const std::string& exportPath,
                      ReportFormat format = ReportFormat::Csv) {
        ReplayPlan plan;
        std::string error;
        EXPECT_TRUE(PlanReplay(d, plan, error)) << error;
        NullProgressSink progress;
        CancelToken cancel;
        return RunSavedProcess(plan, DbCompareRequest{}, services, exportPath, format, progress,
                               cancel);
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string dir_;
    ReplayServices services;
    std::vector<PairStatus> statuses;
    RunOutcome outcome = RunOutcome::Completed;
    std::string refusedServer;
    DbCompareRequest lastRequest;
};

TEST_F(SavedReplayRun, TheStatusSaysWhetherAnythingChanged) {
    struct Case {
        std::vector<PairStatus> statuses;
        RunOutcome outcome;
        int status;
    };
    const std::vector<Case> cases = {
        {{PairStatus::Identical, PairStatus::Identical}, RunOutcome::Completed, 0},
        {{}, RunOutcome::Completed, 0},
        {{PairStatus::Identical, PairStatus::Different}, RunOutcome::Completed, 1},
        {{PairStatus::OnlyInTarget}, RunOutcome::Completed, 1},
        {{PairStatus::Different, PairStatus::NotComparable}, RunOutcome::Completed, 2},
        {{PairStatus::Identical}, RunOutcome::Failed, 2},
        {{PairStatus::Identical}, RunOutcome::Cancelled, 2},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        statuses = cases[i].statuses;
        outcome = cases[i].outcome;
        const std::string path = dir_ + "r" + std::to_string(i) + ".csv";
        const ReplayOutcome o = Run(Process(kCompSubTypeBulk, "1,0,0,0,0,0,0"), path);
        EXPECT_EQ(o.Status, cases[i].status) << o.Problem;
        EXPECT_EQ(o.Problem.empty(), cases[i].status != 2);
        // Only a run that completed leaves a file behind.
        EXPECT_EQ(fs::exists(path), cases[i].outcome == RunOutcome::Completed);
        const std::string line = ReplayLogLine(4, Process(kCompSubTypeBulk, "1,0,0,0,0,0,0"), o);
        EXPECT_EQ(line.rfind("Saved comparison process 4, Compare All Tables SRC.Shop - "
                             "TGT.ShopTest: ",
                             0),
                  0u)
            << line;
        EXPECT_NE(line.find("Exit status " + std::to_string(cases[i].status) + "."),
                  std::string::npos)
            << line;
    }
    EXPECT_EQ(lastRequest.Kind, DbCompareKind::Bulk);
    EXPECT_EQ(lastRequest.Server[1].Name, "TGT");
    EXPECT_EQ(lastRequest.Database[1], "ShopTest");
}

// A saved data comparison ends as a structure run does: a run that did not complete (a failure
// after the stop was asked for counting as the stop) writes nothing and says why; a complete one
// is exported; a table that cannot be compared is named with its reason.
TEST_F(SavedReplayRun, ADataRunEndsAsAStructureRunDoes) {
    ComparisonDescription d = Process(kCompSubTypeDataAllTables, "");
    d.CompType = kCompTypeData;
    ReplayPlan plan;
    std::string error;
    ASSERT_TRUE(PlanReplay(d, plan, error)) << error;
    struct Case {
        RunOutcome outcome;
        DataPairStatus status;
        bool stop; // Ctrl-C before the run ended
        int exitStatus;
        const char* problem;
    };
    const Case cases[] = {
        {RunOutcome::Completed, DataPairStatus::Identical, false, 0, ""},
        {RunOutcome::Completed, DataPairStatus::Different, true, 1, ""},
        {RunOutcome::Completed, DataPairStatus::NotComparable, false, 2,
         "dbo.Orders is not comparable: no key"},
        {RunOutcome::Failed, DataPairStatus::Identical, false, 2,
         "the comparison did not complete: Timeout expired No report was written to "},
        {RunOutcome::Failed, DataPairStatus::Identical, true, 2,
         "the comparison did not complete: Stopped by the user. No report was written to "},
        {RunOutcome::Cancelled, DataPairStatus::Identical, true, 2,
         "the comparison did not complete: Stopped by the user. No report was written to "},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        services.runData = [&c](const DataCompareRequest&, ProgressSink&, const CancelToken&) {
            auto r = std::make_shared<DataCompareResults>();
            DataTableResult t;
            t.Schema[0] = t.Schema[1] = "dbo";
            t.Name[0] = t.Name[1] = "Orders";
            t.Status = c.status;
            t.Reason = c.status == DataPairStatus::NotComparable ? "no key" : "";
            r->Tables = {t};
            r->Outcome = c.outcome;
            r->Problem = c.outcome == RunOutcome::Cancelled ? "Stopped by the user."
                         : c.outcome == RunOutcome::Failed  ? "Timeout expired"
                                                            : "";
            return DataCompareResultsPtr(r);
        };
        CancelToken cancel;
        if (c.stop)
            cancel.RequestCancel();
        NullProgressSink progress;
        const std::string path = dir_ + "d" + std::to_string(i) + ".csv";
        const ReplayOutcome o = RunSavedProcess(plan, DbCompareRequest{}, services, path,
                                                ReportFormat::Csv, progress, cancel);
        EXPECT_EQ(o.Status, c.exitStatus) << o.Problem;
        EXPECT_EQ(o.Problem.rfind(c.problem, 0), 0u) << o.Problem;
        EXPECT_EQ(o.Problem.empty(), std::string(c.problem).empty()) << o.Problem;
        const bool complete = c.outcome == RunOutcome::Completed;
        EXPECT_EQ(fs::exists(path), complete);
        EXPECT_EQ(o.ExportedTo, complete ? path : "");
        ASSERT_TRUE(o.DataResults);
        EXPECT_EQ(o.DataResults->Outcome, c.stop && !complete ? RunOutcome::Cancelled : c.outcome);
    }
}

TEST_F(SavedReplayRun, AFailedExportIsAnErrorAndLeavesTheOldFile) {
    statuses = {PairStatus::Different};
    const std::string kept = dir_ + "kept.csv";
    std::ofstream(kept) << "yesterday";
    // A folder that is not there is an error, not a silent success.
    ReplayOutcome o =
        Run(Process(kCompSubTypeAllObjects, "1,1,0,0,0,0,0"), dir_ + "missing/report.csv");
    EXPECT_EQ(o.Status, 2);
    EXPECT_NE(o.Problem.find(dir_ + "missing/report.csv"), std::string::npos) << o.Problem;
    EXPECT_FALSE(fs::exists(dir_ + "missing"));

    // A run that fails part way leaves yesterday's report as it was.
    outcome = RunOutcome::Failed;
    o = Run(Process(kCompSubTypeAllObjects, "1,1,0,0,0,0,0"), kept);
    EXPECT_EQ(o.Status, 2);
    EXPECT_EQ(Read(kept), "yesterday");

    outcome = RunOutcome::Completed;
    o = Run(Process(kCompSubTypeAllObjects, "1,1,0,0,0,0,0"), kept);
    EXPECT_EQ(o.Status, 1);
    EXPECT_EQ(o.ExportedTo, kept);
    EXPECT_EQ(Read(kept).rfind(kDbCompareCsvHeader, 0), 0u);
}

TEST_F(SavedReplayRun, ServersAndPrintingThatFailAreErrors) {
    statuses = {PairStatus::Identical};
    refusedServer = "TGT";
    ReplayOutcome o = Run(Process(kCompSubTypeAllObjects, "1,0,0,0,0,0,0"), "");
    EXPECT_EQ(o.Status, 2);
    EXPECT_EQ(o.Results, nullptr);
    EXPECT_NE(o.Problem.find("Login failed"), std::string::npos);
    refusedServer.clear();

    ComparisonDescription printed = Process(kCompSubTypeAllObjects, "1,0,0,0,0,0,0");
    printed.Print = true;
    // Without a printer service (the command line) Print is only noted.
    o = Run(printed, "");
    EXPECT_EQ(o.Status, 0);
    EXPECT_FALSE(o.Note.empty());
    std::string printedText;
    services.print = [&](const DbCompareResults& r, std::string& error) {
        printedText = FormatDbCompareReport(r, ReportFormat::Text);
        error = "there is no printer";
        return false;
    };
    o = Run(printed, "");
    EXPECT_EQ(o.Status, 2);
    EXPECT_NE(o.Problem.find("there is no printer"), std::string::npos);
    EXPECT_NE(printedText.find("Compare All Objects"), std::string::npos) << printedText;
}

TEST_F(SavedReplayRun, AReportOfAnotherKindNeverReplacesTheFile) {
    statuses = {PairStatus::Different};
    // The stored mismatch: HTML asked for, the file named .csv and holding yesterday's CSV.
    const std::string csv = dir_ + "report.csv";
    std::ofstream(csv) << "type,schema,name\n";
    ComparisonDescription d = Process(kCompSubTypeAllObjects, "1,1,0,0,0,0,0");
    d.SavedFullExportFilePath = csv;
    d.ExportType = kExportHtml;
    ReplayOutcome o = Run(d, csv, ReportFormat::Html);
    EXPECT_EQ(o.Status, 2);
    EXPECT_NE(o.Problem.find("as HTML, but its export file " + csv + " is named as a CSV file"),
              std::string::npos)
        << o.Problem;
    EXPECT_TRUE(o.ExportedTo.empty());
    EXPECT_EQ(Read(csv), "type,schema,name\n");
    EXPECT_NE(ReplayLogLine(1, d, o).find("Exit status 2."), std::string::npos);

    // A name that says nothing: the file's content tells, in both directions.
    const std::string bare = dir_ + "report";
    std::ofstream(bare) << "\xEF\xBB\xBF  <!DOCTYPE html><html></html>";
    o = Run(d, bare, ReportFormat::Csv);
    EXPECT_EQ(o.Status, 2);
    EXPECT_NE(o.Problem.find("holds an HTML report"), std::string::npos) << o.Problem;
    std::ofstream(bare) << "a,b\n";
    o = Run(d, bare, ReportFormat::Html);
    EXPECT_EQ(o.Status, 2);
    EXPECT_EQ(Read(bare), "a,b\n");
    // Same kinds replace each other as before; an empty file is no report of any kind.
    o = Run(d, csv, ReportFormat::Csv);
    EXPECT_EQ(o.Status, 1) << o.Problem;
    std::ofstream(bare, std::ios::trunc).close();
    o = Run(d, bare, ReportFormat::Html);
    EXPECT_EQ(o.Status, 1) << o.Problem;
    o = Run(d, bare, ReportFormat::Html);
    EXPECT_EQ(o.Status, 1) << o.Problem;
    EXPECT_EQ(Read(bare).rfind("<!DOCTYPE html>", 0), 0u);
}

TEST_F(SavedReplayRun, PatternsAndTheNotComparableSettingReachTheRun) {
    ComparisonDescription d = Process(kCompSubTypeAllObjects, "1,1,0,0,0,0,0");
    d.ExcludePatterns = {"procedures:sales.*"};
    d.IncludePatterns = {"dbo.*"};
    statuses = {PairStatus::Identical, PairStatus::NotComparable};
    EXPECT_EQ(Run(d, "").Status, 2);
    EXPECT_EQ(lastRequest.Filter.Exclude, d.ExcludePatterns);
    EXPECT_EQ(lastRequest.Filter.Include, d.IncludePatterns);
    d.ReportNotComparable = true;
    ReplayOutcome o = Run(d, "");
    EXPECT_EQ(o.Status, 0);
    EXPECT_TRUE(o.Problem.empty()) << o.Problem;
    statuses = {PairStatus::Different, PairStatus::NotComparable};
    EXPECT_EQ(Run(d, "").Status, 1);

    ReplayPlan plan;
    std::string error;
    d.ExcludePatterns = {"gadgets:x"};
    EXPECT_FALSE(PlanReplay(d, plan, error));
    EXPECT_NE(error.find("unknown object type 'gadgets'"), std::string::npos) << error;
}

} // namespace
} // namespace orv
