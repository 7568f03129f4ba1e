// The snapshot file: every kind of cell and every byte of a text come back as written, a
// later release's additions are passed over, and a file that is cut short, damaged, not a
// snapshot or of a newer major format is refused with a message naming the file.
#include "catalog/bulk_catalog.h"
#include "catalog/catalog_snapshot.h"
#include "sqlsim_process.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace orv::test {
namespace {

CatalogSnapshot Sample() {
    CatalogSnapshot s;
    s.Header.Server = "Prod\tEast\\1";
    s.Header.VersionText = "Microsoft SQL Server 2000 - 8.00.2039\n\tCopyright";
    s.Header.VersionMajor = 8;
    s.Header.Database = "Sales";
    s.Header.Taken = "2026-12-10 09:15:00";
    CatalogResult modules;
    modules.Fields = {{"id", 4, 10}, {"colid", 5, 5}, {"text", -9, 4000}, {"encrypted", -7, 1}};
    // Line breaks of every kind, a NUL, a backslash, tabs and a four-byte character.
    const std::string text =
        std::string("CREATE PROC [a\\b]\r\nAS\n\rSELECT 'x\ty'\r") + '\0' + "\xF0\x9F\x93\xA6  ";
    modules.Rows.push_back({FieldValue::Int(-2147483647), FieldValue::Int(1), FieldValue::Str(text),
                            FieldValue::Boolean(true)});
    modules.Rows.push_back(
        {FieldValue::Int(7), FieldValue::Null(), FieldValue::Str(""), FieldValue::Boolean(false)});
    s.Results["texts of procedures"] = modules;
    CatalogResult other;
    other.Fields = {{"odd\nname", 3, 18}};
    other.Rows.push_back({FieldValue::Dec("12.50")});
    other.Rows.push_back({FieldValue::Real(0.1)});
    other.Rows.push_back({FieldValue::Bytes(std::string("\x00\xff\n", 3))});
    other.Rows.push_back({FieldValue::Date("2001-02-03 04:05:06.007")});
    s.Results["key with\nbreak"] = other;
    s.Results["empty"] = CatalogResult{};
    return s;
}

void ExpectSame(const CatalogSnapshot& a, const CatalogSnapshot& b) {
    EXPECT_EQ(a.Header.Server, b.Header.Server);
    EXPECT_EQ(a.Header.VersionText, b.Header.VersionText);
    EXPECT_EQ(a.Header.VersionMajor, b.Header.VersionMajor);
    EXPECT_EQ(a.Header.Database, b.Header.Database);
    EXPECT_EQ(a.Header.Taken, b.Header.Taken);
    ASSERT_EQ(a.Results.size(), b.Results.size());
    for (const auto& [key, result] : a.Results) {
        const auto it = b.Results.find(key);
        ASSERT_NE(it, b.Results.end()) << key;
        ASSERT_EQ(it->second.Fields.size(), result.Fields.size()) << key;
        for (size_t i = 0; i < result.Fields.size(); ++i) {
            EXPECT_EQ(it->second.Fields[i].name, result.Fields[i].name);
            EXPECT_EQ(it->second.Fields[i].sqlType, result.Fields[i].sqlType);
            EXPECT_EQ(it->second.Fields[i].size, result.Fields[i].size);
        }
        ASSERT_EQ(it->second.Rows.size(), result.Rows.size()) << key;
        for (size_t r = 0; r < result.Rows.size(); ++r) {
            ASSERT_EQ(it->second.Rows[r].size(), result.Rows[r].size());
            for (size_t k = 0; k < result.Rows[r].size(); ++k) {
                const FieldValue& x = result.Rows[r][k];
                const FieldValue& y = it->second.Rows[r][k];
                EXPECT_EQ(y.kind, x.kind) << key << " " << r << " " << k;
                EXPECT_EQ(y.integer, x.integer);
                EXPECT_EQ(y.real, x.real);
                EXPECT_TRUE(y.text == x.text) << key << " " << r << " " << k;
            }
        }
    }
}

TEST(SnapshotFile, EveryCellAndEveryByteComesBackAsWritten) {
    TestEnv env;
    const std::string path = env.PathOf("sales.orvsnap");
    const CatalogSnapshot written = Sample();
    std::string error;
    ASSERT_TRUE(WriteSnapshotFile(path, written, error)) << error;
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    CatalogSnapshot read;
    ASSERT_TRUE(ReadSnapshotFile(path, read, error)) << error;
    ExpectSame(written, read);
    EXPECT_EQ(read.Header.FormatMajor, 1);
    EXPECT_EQ(SnapshotTitle(read.Header),
              "Sales (snapshot of Prod\tEast\\1, 2026-12-10 09:15:00 UTC)");
}

TEST(SnapshotFile, WhatALaterReleaseAddsIsPassedOver) {
    std::string bytes = SnapshotFileBytes(Sample());
    // A header key, a minor format step and a section of a kind this release does not know.
    bytes.replace(0, bytes.find('\n'), "ORVANE-SNAPSHOT 1.7");
    bytes.insert(bytes.find("\n\n") + 1, "collation Latin1_General_CI_AS\n");
    const std::string extra = "payload\nwith lines\n";
    bytes.insert(bytes.find("\n\n") + 2,
                 "statistics " + std::to_string(extra.size()) + " table stats\n" + extra);
    CatalogSnapshot read;
    std::string error;
    ASSERT_TRUE(ParseSnapshotBytes("later.orvsnap", bytes, read, error)) << error;
    ExpectSame(Sample(), read);
    EXPECT_EQ(read.Header.FormatMinor, 7);
}

TEST(SnapshotFile, AFileCutShortAnywhereIsRefusedAndNamed) {
    const std::string bytes = SnapshotFileBytes(Sample());
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        CatalogSnapshot read;
        std::string error;
        EXPECT_FALSE(ParseSnapshotBytes("/tmp/x.orvsnap", bytes.substr(0, cut), read, error))
            << cut;
        EXPECT_EQ(error.rfind("The snapshot file /tmp/x.orvsnap ", 0), 0u) << cut << error;
    }
}

TEST(SnapshotFile, GarbageANewerFormatAndAMissingFileGiveClearMessages) {
    CatalogSnapshot read;
    std::string error;
    EXPECT_FALSE(ParseSnapshotBytes("a.orvsnap", "PK\x03\x04 not a snapshot\n", read, error));
    EXPECT_EQ(error, "The snapshot file a.orvsnap is not an Orvane snapshot.");
    std::string newer = SnapshotFileBytes(Sample());
    newer.replace(0, newer.find('\n'), "ORVANE-SNAPSHOT 2.0");
    EXPECT_FALSE(ParseSnapshotBytes("b.orvsnap", newer, read, error));
    EXPECT_EQ(error, "The snapshot file b.orvsnap is of format 2.0, which this release cannot "
                     "read (it reads format 1).");
    // A damaged cell: a length running past its result.
    std::string damaged = SnapshotFileBytes(Sample());
    const size_t cell = damaged.find("T0:");
    ASSERT_NE(cell, std::string::npos);
    damaged.replace(cell, 3, "T9:");
    EXPECT_FALSE(ParseSnapshotBytes("c.orvsnap", damaged, read, error));
    EXPECT_EQ(error, "The snapshot file c.orvsnap is damaged (in the result \"texts of "
                     "procedures\").");
    TestEnv env;
    EXPECT_FALSE(ReadSnapshotFile(env.PathOf("none.orvsnap"), read, error));
    EXPECT_EQ(error, "The snapshot file " + env.PathOf("none.orvsnap") +
                         " cannot be read: No such file or directory.");
}

TEST(SnapshotFile, AFailedWriteLeavesTheFileThatWasThere) {
    TestEnv env;
    const std::string path = env.PathOf("kept.orvsnap");
    std::string error;
    ASSERT_TRUE(WriteSnapshotFile(path, Sample(), error)) << error;
    EXPECT_FALSE(WriteSnapshotFile(env.PathOf("no/such/folder/x.orvsnap"), Sample(), error));
    EXPECT_EQ(error.rfind("The snapshot file " + env.PathOf("no/such/folder/x.orvsnap") +
                              " could not be written: ",
                          0),
              0u)
        << error;
    CatalogSnapshot read;
    ASSERT_TRUE(ReadSnapshotFile(path, read, error)) << error;
}

TEST(SnapshotFile, AListingWithoutSystemObjectsToAddIsKeptOnce) {
    CatalogSnapshot s = Sample();
    CatalogResult listing;
    listing.Fields = {{"name", -9, 128}, {"id", 4, 10}};
    listing.Rows.push_back({FieldValue::Str("usp_A"), FieldValue::Int(5)});
    s.Results["listing of procedures"] = listing;
    s.Results["listing of procedures with system objects"] = listing;
    CatalogResult more = listing;
    more.Rows.push_back({FieldValue::Str("sp_sys"), FieldValue::Int(-3)});
    s.Results["listing of views"] = listing;
    s.Results["listing of views with system objects"] = more;
    const std::string bytes = SnapshotFileBytes(s);
    EXPECT_NE(bytes.find("\nsame 22 listing of procedures with system objects\nlisting of "
                         "procedures\n"),
              std::string::npos)
        << bytes;
    EXPECT_NE(bytes.find("\nresult "), std::string::npos);
    EXPECT_EQ(bytes.find("same", bytes.find("listing of views with")), std::string::npos);
    CatalogSnapshot read;
    std::string error;
    ASSERT_TRUE(ParseSnapshotBytes("s.orvsnap", bytes, read, error)) << error;
    ExpectSame(s, read);
    // A "same" naming a result the file does not hold is damage.
    std::string broken = bytes;
    broken.replace(broken.find("same 22 "), 8, "same 22 ");
    const size_t name = broken.find("\nlisting of procedures\n", broken.find("same 22 "));
    broken.replace(name, 24, "\nlisting of procedureX\n");
    EXPECT_FALSE(ParseSnapshotBytes("s.orvsnap", broken, read, error));
    EXPECT_EQ(error, "The snapshot file s.orvsnap is damaged (in the result \"listing of "
                     "procedures with system objects\").");
}

// Texts dominate a snapshot: the rest of the file is small beside them.
TEST(SnapshotFile, AFileOfTextsIsBarelyLargerThanItsTexts) {
    CatalogSnapshot s;
    CatalogResult modules;
    modules.Fields = {{"id", 4, 10}, {"colid", 5, 5}, {"text", -9, 4000}, {"encrypted", -7, 1}};
    size_t textBytes = 0;
    for (int id = 1; id <= 500; ++id) {
        const std::string text =
            "CREATE PROCEDURE dbo.usp_" + std::to_string(id) +
            "\r\nAS\r\nSELECT * FROM dbo.Orders WHERE Id = " + std::to_string(id) + "\r\n" +
            std::string(400, 'x');
        textBytes += text.size();
        modules.Rows.push_back({FieldValue::Int(id), FieldValue::Int(1), FieldValue::Str(text),
                                FieldValue::Boolean(false)});
    }
    s.Results["texts of procedures"] = modules;
    EXPECT_LE(SnapshotFileBytes(s).size(), textBytes * 12 / 10);
}

} // namespace
} // namespace orv::test

namespace orv::test {
namespace {

// A file of format 1 as this release wrote it (orvane-cli snapshot of the database that
// snapshot_format1.sql makes, posing as SQL Server 2008 R2; its listings with system objects
// are "same" sections). Later releases must still read it
// to the same catalog: the bulk reader builds the same texts from it without a server.
TEST(SnapshotFormat1, TheCheckedInFileReadsToTheCatalogItWasTakenOf) {
    CatalogSnapshot read;
    std::string error;
    ASSERT_TRUE(ReadSnapshotFile(FixtureFile("snapshot_format1.orvsnap"), read, error)) << error;
    EXPECT_EQ(read.Header.FormatMajor, 1);
    EXPECT_EQ(read.Header.Database, "Tiny");
    EXPECT_EQ(read.Header.VersionText, "10.50.1600.1");
    EXPECT_EQ(read.Header.VersionMajor, 10);
    EXPECT_EQ(read.Header.Taken, "2026-12-10 11:16:40");
    std::vector<std::string> keys;
    for (const auto& [key, result] : read.Results)
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"complete table constraints",
                                              "complete table indexes",
                                              "constraints",
                                              "foreign key columns",
                                              "listing of functions",
                                              "listing of functions with system objects",
                                              "listing of procedures",
                                              "listing of procedures with system objects",
                                              "listing of tables",
                                              "listing of tables with system objects",
                                              "listing of triggers",
                                              "listing of triggers with system objects",
                                              "listing of views",
                                              "listing of views with system objects",
                                              "relationships",
                                              "table columns",
                                              "table indexes",
                                              "texts of functions",
                                              "texts of procedures",
                                              "texts of triggers",
                                              "texts of views"}));

    auto snapshot = std::make_shared<const CatalogSnapshot>(std::move(read));
    SnapshotRows rows(snapshot, "snapshot_format1.orvsnap");
    ServerFacts facts;
    OdbcError odbc;
    std::string sql;
    ASSERT_TRUE(rows.Facts(facts, odbc, sql));
    EXPECT_FALSE(rows.Fingerprints());
    const CancelToken cancel;
    CatalogReadOptions options;
    options.CompleteTableScripts = true;
    options.IgnoreSystemConstraintNames = true;
    BulkCatalogReader reader(rows, facts, options, cancel);
    auto objects = [&](ObjectType type) {
        CatalogTypeRead out;
        EXPECT_TRUE(reader.ReadType(type, out, odbc, sql)) << odbc.description;
        std::map<std::string, std::string> byName;
        for (const CatalogObject& o : out.Objects)
            byName[o.Ref.Schema + "." + o.Ref.Name] = o.Text;
        return byName;
    };
    const auto procedures = objects(kTypeProcedure);
    ASSERT_EQ(procedures.size(), 1u);
    EXPECT_EQ(procedures.at("dbo.usp_Orders"),
              "-- Lists a customer's orders.\r\nCREATE PROCEDURE dbo.usp_Orders @id int\r\nAS\r\n"
              "SELECT Id, Total FROM dbo.Orders WHERE CustomerId = @id -- Z\xC3\xBCrich\t\xC3\xBC"
              "ber");
    const auto tables = objects(kTypeTable);
    ASSERT_EQ(tables.size(), 2u);
    const std::string& orders = tables.at("dbo.Orders");
    EXPECT_NE(orders.find("IDENTITY"), std::string::npos) << orders;
    EXPECT_NE(orders.find("IX_Orders_Customer"), std::string::npos) << orders;
    EXPECT_EQ(objects(kTypeRelationship).size(), 1u);
    EXPECT_EQ(objects(kTypeView).size(), 1u);
    EXPECT_EQ(objects(kTypeConstraint).size(), 2u);
    // A result the file does not hold is named, not read as empty.
    CatalogReadOptions withoutIndexes = options;
    withoutIndexes.CompleteTableScripts = false;
    CatalogTypeRead out;
    CatalogSnapshot bare = *snapshot;
    bare.Results.erase("table indexes");
    SnapshotRows bareRows(std::make_shared<const CatalogSnapshot>(bare), "bare.orvsnap");
    BulkCatalogReader bareReader(bareRows, facts, withoutIndexes, cancel);
    EXPECT_FALSE(bareReader.ReadType(kTypeTable, out, odbc, sql));
    EXPECT_EQ(odbc.description, "The snapshot file bare.orvsnap holds no table indexes.");
    // A file of format 1.0 lacks the results added later, and says so to who asks.
    EXPECT_FALSE(rows.Holds("user types"));
    EXPECT_FALSE(rows.Holds("table identity seeds"));
    EXPECT_TRUE(rows.Holds("table columns"));
}

} // namespace
} // namespace orv::test
