// A panel browsing a snapshot: the objects it lists and the texts it shows are the bulk
// reader's over the kept rows under the reading options in force, each type read once per
// set of options; owners filter by schema; a large file read in pieces gives the same
// snapshot, stops when told, and words its failures as the plain reader does.
#include "catalog/snapshot_browse.h"
#include "sqlsim_process.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <fstream>

namespace orv::test {
namespace {

std::shared_ptr<SnapshotBrowser> Fixture() {
    auto snapshot = std::make_shared<CatalogSnapshot>();
    std::string error;
    EXPECT_TRUE(ReadSnapshotFile(FixtureFile("snapshot_format1.orvsnap"), *snapshot, error))
        << error;
    return SnapshotBrowser::OfSnapshot(snapshot, "tiny.orvsnap");
}

class CountingSink : public ProgressSink {
public:
    void Begin(const std::string&, int64_t) override { ++begins; }
    void Advance(int64_t done, const std::string&) override { advanced += done; }
    void Note(const std::string&) override {}
    void Warn(const std::string&) override {}
    int begins = 0;
    int64_t advanced = 0;
};

TEST(SnapshotBrowse, CaptionAndServerNameSayWhatThePanelShows) {
    const auto browser = Fixture();
    EXPECT_EQ(browser->Database(), "Tiny");
    EXPECT_EQ(browser->Caption(), SnapshotTitle(browser->Snapshot()->Header) + " - read-only");
    EXPECT_EQ(browser->Caption().rfind("Tiny (snapshot of ", 0), 0u) << browser->Caption();
    EXPECT_EQ(browser->ServerName(),
              browser->Snapshot()->Header.Server + " (snapshot of 2026-12-10 11:16:40 UTC)");
    const auto folder = SnapshotBrowser::OfFolder(browser->Snapshot(), "/src/db");
    EXPECT_EQ(folder->Caption(), "/src/db (scripts folder) - read-only");
}

TEST(SnapshotBrowse, ListsAndTextsAreTheBulkReadersUnderTheOptionsInForce) {
    const auto browser = Fixture();
    struct Case {
        ObjectType type;
        size_t count;
    };
    const Case cases[] = {{kTypeProcedure, 1},
                          {kTypeTable, 2},
                          {kTypeView, 1},
                          {kTypeRelationship, 1},
                          {kTypeConstraint, 2}};
    CatalogReadOptions options;
    options.CompleteTableScripts = true;
    for (const Case& c : cases) {
        std::string error;
        const auto listed = browser->Listed(c.type, options, "", error);
        EXPECT_EQ(error, "") << c.type;
        EXPECT_EQ(listed.size(), c.count) << c.type;
        for (const CatalogObject* o : listed)
            EXPECT_EQ(browser->Find(c.type, options, o->Ref.Id, o->ListedName), o) << c.type;
    }
    std::string error;
    const auto procs = browser->Listed(kTypeProcedure, options, "", error);
    ASSERT_EQ(procs.size(), 1u);
    EXPECT_EQ(procs[0]->Text,
              "-- Lists a customer's orders.\r\nCREATE PROCEDURE dbo.usp_Orders @id int\r\nAS\r\n"
              "SELECT Id, Total FROM dbo.Orders WHERE CustomerId = @id -- Z\xC3\xBCrich\t\xC3\xBC"
              "ber");

    // The same type under other options is read again, and kept apart.
    const CatalogTypeRead* complete = browser->Objects(kTypeTable, options, error);
    CatalogReadOptions plain = options;
    plain.CompleteTableScripts = false;
    plain.IgnoreIndexes = true;
    const CatalogTypeRead* bare = browser->Objects(kTypeTable, plain, error);
    ASSERT_NE(complete, nullptr);
    ASSERT_NE(bare, nullptr);
    EXPECT_NE(complete, bare);
    EXPECT_EQ(browser->Objects(kTypeTable, options, error), complete) << "read once";
    const auto text = [](const CatalogTypeRead* r, const std::string& name) {
        for (const CatalogObject& o : r->Objects)
            if (o.Ref.Name == name)
                return o.Text;
        return std::string();
    };
    EXPECT_NE(text(complete, "Orders").find("IX_Orders_Customer"), std::string::npos);
    EXPECT_EQ(text(bare, "Orders").find("IX_Orders_Customer"), std::string::npos);
}

TEST(SnapshotBrowse, OwnersAreTheSchemasAndFilterTheList) {
    const auto browser = Fixture();
    const CatalogReadOptions options;
    EXPECT_EQ(browser->Owners(kTypeTable, options), (std::vector<std::string>{"dbo"}));
    std::string error;
    EXPECT_EQ(browser->Listed(kTypeTable, options, "dbo", error).size(), 2u);
    EXPECT_TRUE(browser->Listed(kTypeTable, options, "sales", error).empty());
    EXPECT_EQ(browser->Find(kTypeTable, options, 0, "no such table"), nullptr);
}

TEST(SnapshotBrowse, AResultTheSnapshotLacksIsNamed) {
    const auto browser = Fixture();
    CatalogSnapshot bare = *browser->Snapshot();
    bare.Results.erase("texts of procedures");
    SnapshotBrowser lacking(std::make_shared<const CatalogSnapshot>(bare), "bare.orvsnap", "bare");
    std::string error;
    EXPECT_EQ(lacking.Objects(kTypeProcedure, CatalogReadOptions{}, error), nullptr);
    EXPECT_EQ(error, "The snapshot file bare.orvsnap holds no texts of procedures.");
    EXPECT_TRUE(lacking.Owners(kTypeProcedure, CatalogReadOptions{}).empty());
}

TEST(SnapshotReadInSteps, GivesWhatThePlainReaderGivesStopsAndWordsFailuresAlike) {
    TestEnv env;
    const auto original = Fixture()->Snapshot();
    // Several pieces: the kept texts padded with a large result.
    CatalogSnapshot big = *original;
    CatalogResult padding;
    padding.Fields = {{"text", -9, 0}};
    padding.Rows.push_back({FieldValue::Str(std::string(3 * 1024 * 1024 + 17, 'x'))});
    big.Results["padding"] = padding;
    const std::string path = env.PathOf("big.orvsnap");
    std::string error;
    ASSERT_TRUE(WriteSnapshotFile(path, big, error)) << error;

    CountingSink sink;
    const CancelToken go;
    CatalogSnapshot read;
    ASSERT_TRUE(ReadSnapshotFileInSteps(path, read, sink, go, error)) << error;
    EXPECT_EQ(SnapshotFileBytes(read), SnapshotFileBytes(big));
    EXPECT_GE(sink.advanced, 4);

    CancelToken stop;
    stop.RequestCancel();
    EXPECT_FALSE(ReadSnapshotFileInSteps(path, read, sink, stop, error));
    EXPECT_EQ(error, "");

    const std::string bytes = SnapshotFileBytes(big);
    const std::string cut = env.PathOf("cut.orvsnap");
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    std::string plain;
    EXPECT_FALSE(ReadSnapshotFile(cut, read, plain));
    EXPECT_FALSE(ReadSnapshotFileInSteps(cut, read, sink, go, error));
    EXPECT_EQ(error, plain);
    const std::string missing = env.PathOf("missing.orvsnap");
    EXPECT_FALSE(ReadSnapshotFile(missing, read, plain));
    EXPECT_FALSE(ReadSnapshotFileInSteps(missing, read, sink, go, error));
    EXPECT_EQ(error, plain);
}

} // namespace
} // namespace orv::test
