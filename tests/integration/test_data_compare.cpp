// The data comparison through the program's own ODBC path against the simulator, over the
// documented pair of databases: exact counts in both modes and under both server versions,
// the two modes agreeing row for row, keys that cannot be used, picked and remembered keys,
// ignored columns, the synchronisation script run on the target with tsql, a fault on the wire
// part-way and the Stop button.
#include "catalog/ignored_columns.h"
#include "data_compare_support.h"
#include "dbcompare/data_key_choice.h"
#include "dbcompare/data_key_store.h"
#include "dbcompare/data_sync_script.h"
#include "dbcompare/object_filter.h"

#include <cstdlib>
#include <fstream>

namespace orv::test {
namespace {

const std::map<std::string, std::string>& Expected() {
    static const std::map<std::string, std::string> expected = {
        {"dbo.Big", "different 12003/11989/5/5/4/0"},
        {"dbo.Customers", "different 21/12/6/2/1/0"},
        {"dbo.Docs", "different 3/2/1/0/0/0"},
        {"dbo.EmptyBoth", "identical 0/0/0/0/0/0"},
        {"dbo.EmptySource", "different 2/0/0/0/2/0"},
        {"dbo.Ident", "different 4/1/1/1/1/0"},
        {"dbo.KeyTypes", "not comparable"},
        {"dbo.NoKey", "not comparable"},
        {"dbo.NullUnique", "not comparable"},
        {"dbo.OnlySource", "only in source"},
        {"dbo.OnlyTarget", "only in target"},
        {"dbo.OrderLines", "different 7/4/1/1/1/0"},
        {"dbo.Picked", "not comparable"},
        {"dbo.we]ird.na'me --", "different 4/2/1/0/1/0"},
    };
    return expected;
}

const DataTableResult& Pair(const DataCompareResults& r, const std::string& name) {
    for (const DataTableResult& t : r.Tables)
        if (t.DisplayName() == name)
            return t;
    static const DataTableResult none;
    ADD_FAILURE() << "no pair " << name;
    return none;
}

class DataCompareVersions : public BothVersions {};

TEST_P(DataCompareVersions, CountsAreExactAndBothModesAgreeRowForRow) {
    DataSim f(GetParam());
    ASSERT_SIM_STARTED(f);
    DataCompareResultsPtr merge = RunData(f.Request(DataCompareMode::Merge));
    ASSERT_TRUE(merge->Complete()) << merge->Problem;
    EXPECT_EQ(Summary(*merge), Expected());
    EXPECT_EQ(DataCompareExitStatus(*merge, NotComparablePolicy::Error),
              2); // some pairs are not comparable

    DataCompareResultsPtr hash = RunData(f.Request(DataCompareMode::Hash));
    ASSERT_TRUE(hash->Complete()) << hash->Problem;
    EXPECT_EQ(Summary(*hash), Expected());
    ASSERT_EQ(hash->Tables.size(), merge->Tables.size());
    for (size_t i = 0; i < merge->Tables.size(); ++i) {
        const DataTableResult& m = merge->Tables[i];
        const DataTableResult& h = hash->Tables[i];
        EXPECT_EQ(RowsText(h), RowsText(m)) << m.DisplayName();
        EXPECT_EQ(h.ColumnDiffCounts, m.ColumnDiffCounts) << m.DisplayName();
        EXPECT_EQ(h.Reason, m.Reason) << m.DisplayName();
    }

    const DataTableResult& big = Pair(*hash, "dbo.Big");
    if (GetParam() == kVersion2000) {
        // No HASHBYTES: every pair is merged.
        EXPECT_EQ(big.ModeUsed, DataCompareMode::Merge);
    } else {
        EXPECT_EQ(big.ModeUsed, DataCompareMode::Hash);
        EXPECT_GE(big.BisectionRounds, 2);
        EXPECT_EQ(big.RowsHashed[0] > kBigRows, true);
        // Only the few differing ranges travel.
        EXPECT_LT(big.RowsRead[0] + big.RowsRead[1], kBigRows / 5);
        // ntext is compared in full, so that pair cannot be hashed.
        EXPECT_EQ(Pair(*hash, "dbo.Docs").ModeUsed, DataCompareMode::Merge);
    }
    EXPECT_EQ(Pair(*merge, "dbo.Big").RowsRead[0], kBigRows - 1);
}

TEST(DataCompareHashing, EveryWayOfCuttingRangesFindsTheSameRows) {
    // The hashed mode's range sizes only change how much is hashed and fetched, never what is
    // found: checksummed whole first or split first, cut coarsely or down to single rows.
    DataSim f(kVersion2008);
    ASSERT_SIM_STARTED(f);
    DataCompareRequest merge = f.Request(DataCompareMode::Merge);
    merge.Tables.push_back({{"dbo", "dbo"}, {"Big", "Big"}, {}});
    merge.AllTables = false;
    DataCompareResultsPtr expected = RunData(merge);
    ASSERT_TRUE(expected->Complete()) << expected->Problem;
    const DataTableResult& rows = Pair(*expected, "dbo.Big");

    struct Cut {
        const char* what;
        int64_t whole, firstPart;
        int minFirst, fanout;
        int64_t small;
    };
    const Cut cuts[] = {
        {"as configured", 0, 2048, 32, 8, 256},
        {"split before any whole checksum", -1, 2048, 32, 8, 256},
        {"whole only when small, then halves down to single rows", 100, 1, 2, 2, 1},
        {"one coarse cut, fetched at once", 0, 100000, 2, 2, 100000},
    };
    for (const Cut& cut : cuts) {
        DataCompareRequest hash = merge;
        hash.Mode = DataCompareMode::Hash;
        hash.Hashing.WholeRangeRows = cut.whole;
        hash.Hashing.FirstPartRows = cut.firstPart;
        hash.Hashing.MinFirstFanout = cut.minFirst;
        hash.Hashing.Fanout = cut.fanout;
        hash.Hashing.SmallRange = cut.small;
        DataCompareResultsPtr r = RunData(hash);
        ASSERT_TRUE(r->Complete()) << cut.what << ": " << r->Problem;
        const DataTableResult& big = Pair(*r, "dbo.Big");
        EXPECT_EQ(big.ModeUsed, DataCompareMode::Hash) << cut.what;
        EXPECT_EQ(RowsText(big), RowsText(rows)) << cut.what;
        EXPECT_EQ(big.ColumnDiffCounts, rows.ColumnDiffCounts) << cut.what;
        EXPECT_EQ(big.Identical, rows.Identical) << cut.what;
    }

    // Two identical tables cost one checksum per side and move no row.
    DataCompareRequest same = merge;
    same.Mode = DataCompareMode::Hash;
    same.Place[1].Database = "DcSource";
    DataCompareResultsPtr r = RunData(same);
    ASSERT_TRUE(r->Complete()) << r->Problem;
    const DataTableResult& big = Pair(*r, "dbo.Big");
    EXPECT_EQ(big.Status, DataPairStatus::Identical);
    EXPECT_EQ(big.RowsRead[0] + big.RowsRead[1], 0);
    EXPECT_EQ(big.RowsHashed[0], kBigRows - 1);
    EXPECT_EQ(big.BisectionRounds, 0);
}

INSTANTIATE_TEST_SUITE_P(Versions, DataCompareVersions,
                         ::testing::Values(std::string(kVersion2000), std::string(kVersion2008)),
                         VersionName);

TEST(DataCompare, ReasonsColumnsAndCellsAreReported) {
    DataSim f(kVersion2008, {}, false);
    ASSERT_SIM_STARTED(f);
    DataCompareResultsPtr r = RunData(f.Request());
    ASSERT_TRUE(r->Complete()) << r->Problem;
    EXPECT_EQ(Pair(*r, "dbo.NoKey").Reason, "no key");
    EXPECT_EQ(Pair(*r, "dbo.NullUnique").Reason,
              "no key (the unique index [UX_NullUnique] allows NULL values)");
    EXPECT_EQ(Pair(*r, "dbo.KeyTypes").Reason, "the key's types differ: [Id] int / varchar(10)");

    const DataTableResult& lines = Pair(*r, "dbo.OrderLines");
    EXPECT_EQ(lines.KeyColumns, (std::vector<std::string>{"OrderId", "Line"}));
    EXPECT_EQ(lines.SourceOnlyColumns, std::vector<std::string>{"Legacy"});
    EXPECT_EQ(lines.TargetOnlyColumns, std::vector<std::string>{"Extra"});
    ASSERT_EQ(lines.Compared.size(), 2u); // Qty and Note, whatever their order in the target
    EXPECT_EQ(lines.KeyFrom, KeyOrigin::PrimaryKey);
    EXPECT_EQ(Pair(*r, "dbo.Docs").KeyFrom, KeyOrigin::UniqueIndex);

    const DataTableResult& customers = Pair(*r, "dbo.Customers");
    // Name, City, Balance, Rating, Joined, Active: one differing row each.
    EXPECT_EQ(customers.ColumnDiffCounts, (std::vector<int64_t>{1, 1, 1, 1, 1, 1}));
    const DataRowDiff* emil = nullptr;
    for (const DataRowDiff& row : customers.Rows)
        if (row.Key[0].Long() == 5)
            emil = &row;
    ASSERT_NE(emil, nullptr);
    EXPECT_TRUE(emil->Cells[1].Source.IsNull());
    EXPECT_FALSE(emil->Cells[1].Target.IsNull());
    EXPECT_EQ(emil->Cells[1].Target.text, "");
    EXPECT_TRUE(emil->Cells[1].Differs);
    EXPECT_FALSE(emil->Cells[0].Differs);

    const DataTableResult& weird = Pair(*r, "dbo.we]ird.na'me --");
    ASSERT_EQ(weird.Rows.size(), 2u);
    EXPECT_EQ(weird.Rows[0].Cells[0].Source.text, "it's");
    EXPECT_EQ(weird.Rows[0].Cells[0].Target.text, "it''s");
    EXPECT_EQ(weird.Rows[1].Status, RowStatus::OnlyInTarget);
    EXPECT_EQ(weird.Rows[1].Cells[0].Target.text, "日本語");
}

TEST(DataCompare, LetterCaseIgnoredColumnsAndTheKeepLimitChangeOnlyWhatTheyShould) {
    DataSim f(kVersion2008, {}, false);
    ASSERT_SIM_STARTED(f);
    DataCompareRequest request = f.Request();
    request.AllTables = false;
    request.Tables.push_back({{"dbo", "dbo"}, {"Customers", "Customers"}, {}});
    request.CaseSensitive = true;
    for (DataCompareMode mode : {DataCompareMode::Merge, DataCompareMode::Hash}) {
        request.Mode = mode;
        // 'bob'/'BOB' and 'Жанна'/'ЖАННА' now differ too.
        EXPECT_EQ(Summary(*RunData(request))["dbo.Customers"], "different 21/10/8/2/1/0");
    }
    request.CaseSensitive = false;
    request.IgnoredColumns = [](const IgnoredTable& table) {
        return table.Name == "Customers" && table.Schema == "dbo"
                   ? std::vector<std::string>{"name", "Rating"}
                   : std::vector<std::string>{};
    };
    DataCompareResultsPtr r = RunData(request);
    EXPECT_EQ(Summary(*r)["dbo.Customers"], "different 21/14/4/2/1/0");
    EXPECT_EQ(r->Tables[0].IgnoredColumns, (std::vector<std::string>{"Name", "Rating"}));

    request.IgnoredColumns = nullptr;
    request.RowKeepLimit = 3;
    r = RunData(request);
    EXPECT_EQ(Summary(*r)["dbo.Customers"], "different 21/12/6/2/1/0");
    EXPECT_EQ(r->Tables[0].Rows.size(), 3u);
    EXPECT_TRUE(r->Tables[0].RowsCut);
}

TEST(DataCompare, APickedKeyFindsConflictsAndIsRememberedPerPair) {
    DataSim f(kVersion2008, {}, false);
    ASSERT_SIM_STARTED(f);
    DataCompareRequest request = f.Request();
    request.AllTables = false;
    request.Tables.push_back({{"dbo", "dbo"}, {"Picked", "Picked"}, {"Code"}});
    DataCompareResultsPtr r = RunData(request);
    // 'A' twice in the source is a conflict, never matched to the target's one 'A'.
    EXPECT_EQ(Summary(*r)["dbo.Picked"], "different 3/1/1/0/0/1");
    ASSERT_FALSE(r->Tables[0].Rows.empty());
    EXPECT_EQ(r->Tables[0].Rows[0].Status, RowStatus::Conflict);
    EXPECT_EQ(r->Tables[0].Rows[0].Copies, (std::array<int64_t, 2>{2, 1}));

    // The pick dialog's view of the pair, and the pick remembered in the INI file.
    KeyChoice choice;
    std::string error;
    const CancelToken cancel;
    const DataTablePair plain{{"dbo", "dbo"}, {"Picked", "Picked"}, {}};
    ASSERT_TRUE(ReadKeyChoice(request.Place, plain, {}, {}, cancel, choice, error)) << error;
    EXPECT_EQ(choice.Origin, KeyOrigin::None);
    EXPECT_EQ(choice.Problem, "no key");
    EXPECT_EQ(choice.Candidates, (std::vector<std::string>{"Code", "V"}));

    const std::string src = DataTableFullName(request.Place[0], "dbo", "Picked");
    const std::string tgt = DataTableFullName(request.Place[1], "dbo", "Picked");
    ASSERT_TRUE(StorePickedKey(src, tgt, {"Code"}));
    ASSERT_TRUE(StorePickedKey("a=b;[c].d", "x]y", {"we]ird, col", "V"}));
    EXPECT_EQ(LoadPickedKey(src, tgt), std::vector<std::string>{"Code"});
    EXPECT_EQ(LoadPickedKey("a=b;[c].d", "x]y"), (std::vector<std::string>{"we]ird, col", "V"}));
    EXPECT_TRUE(LoadPickedKey(tgt, src).empty());
    // The remembered key is not mistaken for an ignored column of any table.
    std::vector<std::string> ignored;
    EXPECT_EQ(GetIgnoredColumns(kIgnoredForData, src, ignored), 0);

    request.Tables[0].Key.clear();
    request.PickedKey = [](const std::string& s, const std::string& t) {
        return LoadPickedKey(s, t);
    };
    EXPECT_EQ(Summary(*RunData(request))["dbo.Picked"], "different 3/1/1/0/0/1");
    ASSERT_TRUE(
        ReadKeyChoice(request.Place, plain, {}, LoadPickedKey(src, tgt), cancel, choice, error));
    EXPECT_EQ(choice.Origin, KeyOrigin::Picked);
    // Forgetting it makes the pair not comparable again.
    ASSERT_TRUE(StorePickedKey(src, tgt, {}));
    EXPECT_EQ(Summary(*RunData(request))["dbo.Picked"], "not comparable");
}

TEST(DataCompare, TheSynchronisationScriptMakesTheTargetEqual) {
    DataSim f;
    ASSERT_SIM_STARTED(f);
    const std::string conf = f.env.PathOf("freetds.conf");
    std::ofstream(conf) << "[global]\n\tclient charset = UTF-8\n\ttds version = 7.3\n";
    auto tsql = [&](const std::string& name, const std::string& batches) {
        const std::string in = f.env.PathOf(name + ".sql"), out = f.env.PathOf(name + ".out");
        std::ofstream(in, std::ios::binary) << batches << "\ngo\nexit\n";
        const std::string command = "FREETDSCONF='" + conf + "' LANG=C.UTF-8 timeout 60 tsql -H " +
                                    "127.0.0.1 -p " + std::to_string(f.sim->Port()) + " -U '" +
                                    f.server.LoginName + "' -P '" + f.server.Pwd + "' < '" + in +
                                    "' > '" + out + "' 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return ReadTextFile(out);
    };
    // Texts holding NUL characters and non-Latin letters, written the way the script writes a
    // NUL: joined in as NCHAR(0).
    const std::string table = "CREATE TABLE dbo.Nul (Id int NOT NULL PRIMARY KEY, T nvarchar(20) "
                              "NULL)\ngo\n";
    const std::string setup =
        tsql("nul", "USE DcSource\ngo\n" + table +
                        "INSERT INTO dbo.Nul VALUES (1, N'a' + NCHAR(0) + N'b'), "
                        "(2, N'\xd0\xb6' + NCHAR(0))\ngo\nUSE DcTarget\ngo\n" +
                        table + "INSERT INTO dbo.Nul VALUES (1, N'ab'), (3, NCHAR(0))");
    EXPECT_EQ(setup.find("Msg "), std::string::npos) << setup;

    DataCompareRequest request = f.Request(DataCompareMode::Hash);
    // One time in both headers: two runs a second apart must still make the same script.
    request.Sync.MadeAt = "2024-01-31 10:20:30";
    std::string script, error;
    NullProgressSink sink;
    CancelToken cancel;
    ASSERT_TRUE(CompareForSyncScript(request, sink, cancel, script, error)) << error;
    EXPECT_NE(script.find("SET IDENTITY_INSERT [dbo].[Ident] ON;"), std::string::npos);
    EXPECT_NE(script.find("DELETE FROM [dbo].[we]]ird.na'me --] WHERE [co]]l.'x --] = 4;"),
              std::string::npos);
    EXPECT_NE(script.find("UPDATE [dbo].[we]]ird.na'me --] SET [va\"l] = N'it''s' WHERE "
                          "[co]]l.'x --] = 2;"),
              std::string::npos);
    EXPECT_NE(script.find("UPDATE [dbo].[Nul] SET [T] = N'a' + NCHAR(0) + N'b' WHERE [Id] = 1;"),
              std::string::npos)
        << script;
    EXPECT_EQ(script.find("INSERT INTO [dbo].[Picked]"), std::string::npos);
    // The same script from the kept rows of an ordinary run.
    DataCompareResultsPtr before = RunData(request);
    EXPECT_EQ(Pair(*before, "dbo.Nul").Different, 1);
    EXPECT_EQ(Pair(*before, "dbo.Nul").OnlyInSource, 1);
    EXPECT_EQ(Pair(*before, "dbo.Nul").OnlyInTarget, 1);
    std::vector<size_t> all;
    for (size_t i = 0; i < before->Tables.size(); ++i)
        all.push_back(i);
    EXPECT_EQ(SyncScriptFromResults(*before, all, request.Sync), script);

    const std::string output = tsql("sync", "USE DcTarget\ngo\n" + script);
    EXPECT_EQ(output.find("Msg "), std::string::npos) << output;

    DataCompareResultsPtr after = RunData(f.Request(DataCompareMode::Merge));
    ASSERT_TRUE(after->Complete()) << after->Problem;
    EXPECT_EQ(Pair(*after, "dbo.Nul").Status, DataPairStatus::Identical);
    for (const DataTableResult& t : after->Tables)
        if (t.HasSource && t.HasTarget && t.Status != DataPairStatus::NotComparable) {
            EXPECT_EQ(t.Status, DataPairStatus::Identical) << t.DisplayName() << "\n"
                                                           << RowsText(t);
        }
}

TEST(DataCompare, AFaultPartWayEndsTheRunIncompleteAndTheNextRunWorks) {
    DataSim f(kVersion2008, {"--fault-error-mid-result", "700"});
    ASSERT_SIM_STARTED(f);
    DataCompareRequest request = f.Request(DataCompareMode::Merge);
    request.AllTables = false;
    request.Tables.push_back({{"dbo", "dbo"}, {"Big", "Big"}, {}});
    request.Tables.push_back({{"dbo", "dbo"}, {"Customers", "Customers"}, {}});
    DataCompareResultsPtr r = RunData(request);
    EXPECT_EQ(r->Outcome, RunOutcome::Failed);
    EXPECT_EQ(r->Problem.rfind("The comparison of dbo.Big stopped: ", 0), 0u) << r->Problem;
    EXPECT_GT(r->Problem.size(), std::string("The comparison of dbo.Big stopped: ").size());
    EXPECT_TRUE(r->Tables[0].Incomplete);
    EXPECT_LT(r->Tables[0].RowsCompared, kBigRows);
    EXPECT_EQ(DataCompareExitStatus(*r, NotComparablePolicy::Error), 2);
    EXPECT_FALSE(r->AllIdentical());

    request.Tables.erase(request.Tables.begin());
    r = RunData(request);
    EXPECT_TRUE(r->Complete()) << r->Problem;
    EXPECT_EQ(Summary(*r)["dbo.Customers"], "different 21/12/6/2/1/0");
}

TEST(DataCompare, StopEndsTheRunAsIncompleteAndTheNextRunWorks) {
    DataSim f;
    ASSERT_SIM_STARTED(f);
    DataCompareRequest request = f.Request(DataCompareMode::Merge);
    request.AllTables = false;
    request.Tables.push_back({{"dbo", "dbo"}, {"Big", "Big"}, {}});
    CancelToken cancel;
    request.RowsRead = [&](int64_t, int64_t) { cancel.RequestCancel(); };
    NullProgressSink sink;
    DataCompareResultsPtr r = RunDataCompare(request, sink, cancel);
    EXPECT_EQ(r->Outcome, RunOutcome::Cancelled);
    EXPECT_EQ(r->Problem, kStoppedByUser);
    ASSERT_EQ(r->Tables.size(), 1u);
    EXPECT_TRUE(r->Tables[0].Incomplete);
    EXPECT_EQ(DataCompareExitStatus(*r, NotComparablePolicy::Error), 2);

    request.RowsRead = nullptr;
    r = RunData(request);
    EXPECT_TRUE(r->Complete()) << r->Problem;
    EXPECT_EQ(Summary(*r)["dbo.Big"], "different 12003/11989/5/5/4/0");
}

} // namespace
} // namespace orv::test
