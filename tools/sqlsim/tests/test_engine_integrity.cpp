// Foreign keys checked on every change a client sends, the switches that turn a constraint's
// checking or a table's triggers off, and the statements a synchronisation script relies on
// (RAISERROR that lets the batch go on, SET NOEXEC, DB_NAME after USE).
#include "test_engine_support.h"

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

const char* const kShop =
    "CREATE DATABASE Shop\nGO\nUSE Shop\nGO\n"
    "CREATE TABLE dbo.Orders (OrderID int NOT NULL CONSTRAINT PK_Orders PRIMARY KEY)\n"
    "CREATE TABLE dbo.Lines (OrderID int NOT NULL CONSTRAINT FK_Lines_Orders REFERENCES "
    "dbo.Orders (OrderID), LineNo int NOT NULL, CONSTRAINT PK_Lines PRIMARY KEY (OrderID, "
    "LineNo))\n"
    "CREATE TRIGGER dbo.trg_Lines ON dbo.Lines AFTER INSERT AS SET NOCOUNT ON\nGO\n"
    "INSERT INTO dbo.Orders VALUES (1)\nINSERT INTO dbo.Lines VALUES (1, 1)\nGO\n";

std::string Count(EngineFixture& f, Session* s, const std::string& table) {
    CaptureSink c = f.run("SELECT COUNT(*) FROM " + table, s);
    return c.sets.empty() ? "?" : c.sets[0].at(0, 0);
}

} // namespace

TEST(Integrity, ForeignKeysRefuseOrphansWithTheServersWordsAndUndoTheWholeStatement) {
    EngineFixture f;
    f.script(kShop);
    auto s = f.open("Shop");
    // A multi-row insert whose second row has no order: nothing of it stays.
    CaptureSink c = f.run("INSERT INTO dbo.Lines VALUES (1, 2), (7, 1)", s.get());
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->number, 547);
    EXPECT_EQ(c.error()->text,
              "The INSERT statement conflicted with the FOREIGN KEY constraint "
              "\"FK_Lines_Orders\". The conflict occurred in database \"Shop\", table "
              "\"dbo.Orders\", column 'OrderID'.");
    ASSERT_EQ(c.messages.size(), 2u);
    EXPECT_EQ(c.messages[1].number, 3621);
    EXPECT_EQ(c.messages[1].text, "The statement has been terminated.");
    EXPECT_EQ(Count(f, s.get(), "dbo.Lines"), "1");

    c = f.run("DELETE FROM dbo.Orders WHERE OrderID = 1", s.get());
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->text, "The DELETE statement conflicted with the REFERENCE constraint "
                               "\"FK_Lines_Orders\". The conflict occurred in database \"Shop\", "
                               "table \"dbo.Lines\", column 'OrderID'.");
    EXPECT_EQ(Count(f, s.get(), "dbo.Orders"), "1");
    c = f.run("UPDATE dbo.Lines SET OrderID = 5", s.get());
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->text.rfind("The UPDATE statement conflicted with the FOREIGN KEY", 0), 0u);

    // Parents first, children first: accepted.
    c = f.run("INSERT INTO dbo.Orders VALUES (2)\nINSERT INTO dbo.Lines VALUES (2, 1)\n"
              "DELETE FROM dbo.Lines WHERE OrderID = 1\nDELETE FROM dbo.Orders WHERE OrderID = 1",
              s.get());
    EXPECT_EQ(c.error(), nullptr) << c.errorText();
}

TEST(Integrity, NocheckLetsRowsInAndWithCheckChecksThemAll) {
    EngineFixture f;
    f.script(kShop);
    auto s = f.open("Shop");
    CaptureSink c = f.run("ALTER TABLE dbo.Lines NOCHECK CONSTRAINT FK_Lines_Orders\n"
                          "INSERT INTO dbo.Lines VALUES (9, 1)\n"
                          "SELECT OBJECTPROPERTY(OBJECT_ID('FK_Lines_Orders'), 'CnstIsDisabled')",
                          s.get());
    ASSERT_EQ(c.error(), nullptr) << c.errorText();
    EXPECT_EQ(c.sets.at(0).at(0, 0), "1");
    // Re-enabled WITH CHECK while an orphan is there: refused, and the key stays off.
    c = f.run("ALTER TABLE dbo.Lines WITH CHECK CHECK CONSTRAINT FK_Lines_Orders", s.get());
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->number, 547);
    EXPECT_EQ(c.error()->text.rfind("The ALTER TABLE statement conflicted with the FOREIGN KEY "
                                    "constraint \"FK_Lines_Orders\".",
                                    0),
              0u);
    c = f.run("INSERT INTO dbo.Orders VALUES (9)\n"
              "ALTER TABLE dbo.Lines WITH CHECK CHECK CONSTRAINT FK_Lines_Orders\n"
              "SELECT OBJECTPROPERTY(OBJECT_ID('FK_Lines_Orders'), 'CnstIsDisabled')",
              s.get());
    ASSERT_EQ(c.error(), nullptr) << c.errorText();
    EXPECT_EQ(c.sets.at(0).at(0, 0), "0");
    EXPECT_NE(f.run("INSERT INTO dbo.Lines VALUES (8, 1)", s.get()).error(), nullptr);
    c = f.run("ALTER TABLE dbo.Lines NOCHECK CONSTRAINT FK_Nothing", s.get());
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->number, 4917);
}

TEST(Integrity, TriggersAreSwitchedPerTableInBothForms) {
    EngineFixture f;
    f.script(kShop);
    auto s = f.open("Shop");
    const std::string state = "SELECT OBJECTPROPERTY(OBJECT_ID('trg_Lines'), "
                              "'ExecIsTriggerDisabled')";
    CaptureSink c = f.run("DISABLE TRIGGER ALL ON dbo.Lines\n" + state, s.get());
    ASSERT_EQ(c.error(), nullptr) << c.errorText();
    EXPECT_EQ(c.sets.at(0).at(0, 0), "1");
    c = f.run("ENABLE TRIGGER trg_Lines ON dbo.Lines;\n" + state, s.get());
    ASSERT_EQ(c.error(), nullptr) << c.errorText();
    EXPECT_EQ(c.sets.at(0).at(0, 0), "0");
    c = f.run("ALTER TABLE dbo.Lines DISABLE TRIGGER ALL\n" + state, s.get());
    ASSERT_EQ(c.error(), nullptr) << c.errorText();
    EXPECT_EQ(c.sets.at(0).at(0, 0), "1");
    EXPECT_NE(f.run("DISABLE TRIGGER trg_None ON dbo.Lines", s.get()).error(), nullptr);

    // SQL Server 2000 knows only the ALTER TABLE form.
    EngineFixture old("8.00.2039");
    old.script(kShop);
    auto s8 = old.open("Shop");
    EXPECT_EQ(old.run("ALTER TABLE dbo.Lines DISABLE TRIGGER ALL", s8.get()).error(), nullptr);
    c = old.run("SELECT 1\nDISABLE TRIGGER ALL ON dbo.Lines", s8.get());
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->number, 156);
}

TEST(Integrity, RaiserrorReportsAndNoexecStopsTheRestUntilSwitchedOff) {
    EngineFixture f;
    f.script(kShop);
    auto s = f.open("Shop");
    CaptureSink c = f.run("IF DB_NAME() <> N'Elsewhere'\nBEGIN\n"
                          "    RAISERROR(N'Made for %s, 100%% sure.', 16, 1, N'Elsewhere');\n"
                          "    SET NOEXEC ON;\nEND\nINSERT INTO dbo.Orders VALUES (3)",
                          s.get());
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->number, 50000);
    EXPECT_EQ(c.error()->severity, 16);
    EXPECT_EQ(c.error()->text, "Made for Elsewhere, 100% sure.");
    // The later batches are read, not run, until NOEXEC is off again.
    c = f.run("INSERT INTO dbo.Orders VALUES (4)\nSELECT 1", s.get());
    EXPECT_EQ(c.error(), nullptr);
    EXPECT_TRUE(c.sets.empty());
    c = f.run("SET NOEXEC OFF\nSELECT COUNT(*) FROM dbo.Orders", s.get());
    ASSERT_EQ(c.error(), nullptr) << c.errorText();
    EXPECT_EQ(c.sets.at(0).at(0, 0), "1");
    // In the right database the guard lets the batch run.
    c = f.run("IF DB_NAME() <> N'Shop' RAISERROR(N'wrong', 16, 1)\nSELECT DB_NAME()", s.get());
    ASSERT_EQ(c.error(), nullptr) << c.errorText();
    EXPECT_EQ(c.sets.at(0).at(0, 0), "Shop");
}
