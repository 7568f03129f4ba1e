// The database's own procedures and triggers run as SQL Server runs them: parameters bound by
// position or name with their defaults, OUTPUT and return status handed back; triggers once per
// statement with inserted and deleted, inside its transaction, switched off and on.
#include "test_engine_support.h"

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

class Modules : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        f = std::make_unique<EngineFixture>(GetParam());
        ASSERT_EQ(f->run("CREATE DATABASE Yard").error(), nullptr);
        f->run("USE Yard");
    }
    bool is2000() const { return std::string(GetParam()).rfind("8.", 0) == 0; }
    std::string scalar(const std::string& sql) {
        ResultSet r = f->query(sql);
        return r.rows.empty() ? "<no row>" : r.at(0, 0);
    }
    // Runs a batch that must succeed.
    CaptureSink ok(const std::string& sql) {
        CaptureSink s = f->run(sql);
        EXPECT_EQ(s.error(), nullptr) << sql << "\n" << s.errorText();
        return s;
    }
    std::unique_ptr<EngineFixture> f;
};

} // namespace

TEST_P(Modules, ProceduresBindArgumentsAndHandBackStatusAndOutput) {
    ok("CREATE TABLE Berths (BerthNo int PRIMARY KEY, Vessel varchar(30) NULL, "
       "BookedFrom datetime NULL)");
    ok("INSERT Berths VALUES (1, 'Kestrel', '19970301') INSERT Berths VALUES (2, NULL, NULL)");
    ok("CREATE PROCEDURE Book @Berth int, @Vessel varchar(30), @From datetime = '1/1/1997',\n"
       "  @Previous varchar(30) = NULL OUTPUT\nAS\n"
       "SELECT @Previous = Vessel FROM Berths WHERE BerthNo = @Berth\n"
       "IF @Previous IS NOT NULL RETURN 1\n"
       "UPDATE Berths SET Vessel = @Vessel, BookedFrom = @From WHERE BerthNo = @Berth\n"
       "RETURN 0");

    // Positional, with the default taken and the text converted to a date.
    CaptureSink booked = ok("DECLARE @rc int, @prev varchar(30)\n"
                            "EXEC @rc = Book 2, 'Plover', DEFAULT, @prev OUTPUT\n"
                            "SELECT @rc, ISNULL(@prev, '-')");
    ASSERT_FALSE(booked.sets.empty());
    EXPECT_EQ(booked.sets.back().at(0, 0), "0");
    EXPECT_EQ(booked.sets.back().at(0, 1), "-");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM Berths WHERE BookedFrom < '19970201'"), "1");

    // Named, in any order; the OUTPUT value and the status come back.
    CaptureSink taken = ok("DECLARE @rc int, @prev varchar(30)\n"
                           "EXEC @rc = Book @Vessel = 'Tern', @Previous = @prev OUTPUT, "
                           "@Berth = 1\nSELECT @rc, @prev");
    EXPECT_EQ(taken.sets.back().at(0, 0), "1");
    EXPECT_EQ(taken.sets.back().at(0, 1), "Kestrel");
    EXPECT_EQ(scalar("SELECT Vessel FROM Berths WHERE BerthNo = 1"), "Kestrel");

    // What the server refuses, and its words.
    struct Refusal {
        const char* call;
        int number;
        std::string text;
    };
    const Refusal refusals[] = {
        {"EXEC Book 1", 201,
         std::string(is2000() ? "Procedure 'Book'" : "Procedure or function 'Book'") +
             " expects parameter '@Vessel', which was not supplied."},
        {"EXEC Book 1, 'a', '19970101', NULL, 5", 8144,
         "Procedure or function Book has too many arguments specified."},
        {"EXEC Book @Berth = 1, @Ship = 'a'", 8145, "@Ship is not a parameter for procedure Book."},
        {"EXEC Book @Berth = 1, 'a'", 119,
         "Must pass parameter number 2 and subsequent parameters as '@name = value'. After the "
         "form '@name = value' has been used, all subsequent parameters must be passed in the "
         "form '@name = value'."},
        {"EXEC NoSuchProc", 2812, "Could not find stored procedure 'NoSuchProc'."},
    };
    for (const Refusal& r : refusals) {
        CaptureSink s = f->run(r.call);
        ASSERT_NE(s.error(), nullptr) << r.call;
        EXPECT_EQ(s.error()->number, r.number) << r.call;
        EXPECT_EQ(s.error()->text, r.text) << r.call;
    }
}

TEST_P(Modules, AProcedureHasItsOwnScopeNestsAndNamesItselfInItsMessages) {
    ok("CREATE TABLE Tally (n int)");
    ok("CREATE PROCEDURE Inner_ @n int AS\n"
       "INSERT Tally VALUES (@n)\n"
       "IF @n > 2 RAISERROR ('Too far: %d.', 16, 1, @n)");
    ok("CREATE PROCEDURE Outer_ AS\nDECLARE @i int\nSET @i = 1\n"
       "WHILE @i <= 3\nBEGIN\n  EXEC Inner_ @i\n  SET @i = @i + 1\nEND");
    CaptureSink s = f->run("EXEC Outer_ SELECT COUNT(*) FROM Tally");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->text, "Too far: 3.");
    EXPECT_EQ(s.error()->procName, "Inner_");
    // RAISERROR does not stop the batch: the count after it runs.
    ASSERT_FALSE(s.sets.empty());
    EXPECT_EQ(s.sets.back().at(0, 0), "3");

    // The caller's variables are not the procedure's.
    ok("CREATE PROCEDURE Peek AS SELECT @outside");
    CaptureSink peek = f->run("DECLARE @outside int SET @outside = 1 EXEC Peek");
    ASSERT_NE(peek.error(), nullptr);
    EXPECT_EQ(peek.error()->number, 137);

    // A procedure that calls itself without end stops at 32 levels.
    ok("CREATE PROCEDURE Deeper @n int AS\nINSERT Tally VALUES (@n)\nDECLARE @m int\n"
       "SET @m = @n + 1\nEXEC Deeper @m");
    CaptureSink deep = f->run("EXEC Deeper 100");
    ASSERT_NE(deep.error(), nullptr);
    EXPECT_EQ(deep.error()->number, 217);
    EXPECT_EQ(scalar("SELECT MAX(n) FROM Tally"), "131");

    // A procedure must leave @@TRANCOUNT as it found it.
    ok("CREATE PROCEDURE Opens AS BEGIN TRAN");
    CaptureSink opens = f->run("EXEC Opens");
    ASSERT_NE(opens.error(), nullptr);
    EXPECT_EQ(opens.error()->number, 266);
    ok("ROLLBACK");
}

TEST_P(Modules, TriggersSeeTheStatementsRowsOncePerStatement) {
    ok("CREATE TABLE Stock (Item int PRIMARY KEY, OnHand int NOT NULL)");
    ok("CREATE TABLE Moves (Item int, Delta int, Kind varchar(10))");
    ok("CREATE TABLE Firings (Kind varchar(10), RowsSeen int)");
    ok("INSERT Stock VALUES (1, 10) INSERT Stock VALUES (2, 20) INSERT Stock VALUES (3, 30)");
    ok("CREATE TRIGGER Stock_Moves ON Stock FOR INSERT, UPDATE, DELETE AS\n"
       "DECLARE @kind varchar(10)\n"
       "IF NOT EXISTS (SELECT * FROM deleted) SET @kind = 'in'\n"
       "ELSE IF NOT EXISTS (SELECT * FROM inserted) SET @kind = 'out'\n"
       "ELSE SET @kind = 'count'\n"
       "INSERT Firings VALUES (@kind, @@ROWCOUNT)\n"
       "INSERT Moves SELECT COALESCE(i.Item, d.Item), COALESCE(i.OnHand, 0) - "
       "COALESCE(d.OnHand, 0), @kind\n"
       "FROM inserted i FULL OUTER JOIN deleted d ON d.Item = i.Item");

    ok("INSERT Stock SELECT Item + 10, OnHand FROM Stock WHERE Item <= 2");
    ok("UPDATE Stock SET OnHand = OnHand - 1 WHERE Item IN (1, 2, 3)");
    ok("DELETE FROM Stock WHERE Item = 12");
    // One firing per statement, whatever the number of rows.
    EXPECT_EQ(f->query("SELECT Kind FROM Firings").column(0),
              (std::vector<std::string>{"in", "count", "out"}));
    EXPECT_EQ(scalar("SELECT SUM(Delta) FROM Moves WHERE Kind = 'in'"), "30");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM Moves WHERE Kind = 'count' AND Delta = -1"), "3");
    EXPECT_EQ(scalar("SELECT Delta FROM Moves WHERE Kind = 'out'"), "-20");
    // A statement that changes no row still fires.
    ok("DELETE FROM Stock WHERE Item = 99");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM Firings"), "4");

    // UPDATE(column) tells which columns the statement set.
    ok("CREATE TABLE Prices (Item int, Price money, Note varchar(20) NULL)");
    ok("CREATE TABLE PriceLog (Item int)");
    ok("INSERT Prices VALUES (1, $5, NULL)");
    ok("CREATE TRIGGER Prices_Log ON Prices AFTER UPDATE AS\n"
       "IF UPDATE(Price)\n  INSERT PriceLog SELECT Item FROM inserted");
    ok("UPDATE Prices SET Note = 'x'");
    ok("UPDATE Prices SET Price = $6");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM PriceLog"), "1");

    // Switched off, a trigger does not fire; switched on, it does again. DISABLE TRIGGER as a
    // statement of its own came with SQL Server 2005.
    if (is2000()) {
        EXPECT_EQ(f->run("DISABLE TRIGGER Prices_Log ON Prices").error()->number, 156);
        ok("ALTER TABLE Prices DISABLE TRIGGER Prices_Log");
    } else {
        ok("DISABLE TRIGGER Prices_Log ON Prices");
    }
    ok("UPDATE Prices SET Price = $7");
    ok("ALTER TABLE Prices ENABLE TRIGGER ALL");
    ok("UPDATE Prices SET Price = $8");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM PriceLog"), "2");
    ok("ALTER TABLE Prices DISABLE TRIGGER Prices_Log");
    ok("UPDATE Prices SET Price = $9");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM PriceLog"), "2");
}

TEST_P(Modules, ARollbackOrAnErrorInATriggerUndoesTheStatementAndEndsTheBatch) {
    ok("CREATE TABLE Orders (Id int PRIMARY KEY, Qty int)");
    ok("CREATE TABLE Audit (Id int PRIMARY KEY)");
    ok("CREATE TRIGGER Orders_Guard ON Orders FOR INSERT AS\n"
       "IF EXISTS (SELECT * FROM inserted WHERE Qty > 100)\nBEGIN\n"
       "  RAISERROR ('Quantity too large.', 16, 1)\n  ROLLBACK TRANSACTION\n  RETURN\nEND\n"
       "INSERT Audit SELECT Id FROM inserted");
    ok("INSERT Orders VALUES (1, 5)");

    CaptureSink s = f->run("INSERT Orders VALUES (2, 500)\nSELECT 'after'");
    ASSERT_NE(s.error(), nullptr);
    EXPECT_EQ(s.error()->text, "Quantity too large.");
    EXPECT_EQ(s.error()->procName, "Orders_Guard");
    // SQL Server 2005 and later add 3609; 2000 ends the batch without a word.
    bool told3609 = false;
    for (const auto& m : s.messages)
        told3609 = told3609 || m.number == 3609;
    EXPECT_EQ(told3609, !is2000());
    EXPECT_TRUE(s.sets.empty()) << "the batch went on after the trigger's rollback";
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM Orders"), "1");

    // Inside an explicit transaction the earlier work goes too.
    f->run("BEGIN TRAN INSERT Orders VALUES (3, 1) INSERT Orders VALUES (4, 101)");
    EXPECT_EQ(scalar("SELECT @@TRANCOUNT"), "0");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM Orders"), "1");

    // An error in the trigger's own statement (a duplicate audit key) undoes the insert too.
    ok("INSERT Audit VALUES (7)");
    CaptureSink dup = f->run("INSERT Orders VALUES (7, 1)");
    ASSERT_NE(dup.error(), nullptr);
    EXPECT_EQ(dup.error()->number, 2627);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM Orders WHERE Id = 7"), "0");
    EXPECT_EQ(scalar("SELECT @@TRANCOUNT"), "0");
}

TEST_P(Modules, InsteadOfTriggersTakeTheStatementsPlace) {
    ok("CREATE TABLE Crew (Id int PRIMARY KEY, Name varchar(30), Active bit NOT NULL)");
    ok("CREATE VIEW ActiveCrew AS SELECT Id, Name FROM Crew WHERE Active = 1");
    ok("CREATE TRIGGER ActiveCrew_Add ON ActiveCrew INSTEAD OF INSERT AS\n"
       "INSERT Crew (Id, Name, Active) SELECT Id, Name, 1 FROM inserted");
    ok("CREATE TRIGGER Crew_Retire ON Crew INSTEAD OF DELETE AS\n"
       "UPDATE Crew SET Active = 0 WHERE Id IN (SELECT Id FROM deleted)");
    ok("INSERT ActiveCrew VALUES (1, 'Mags') INSERT ActiveCrew VALUES (2, 'Ivo')");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM Crew WHERE Active = 1"), "2");
    ok("DELETE FROM Crew WHERE Id = 1");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM Crew"), "2");
    EXPECT_EQ(scalar("SELECT Name FROM ActiveCrew"), "Ivo");
}

TEST_P(Modules, StartUpScriptsLoadRowsWithoutFiringTriggers) {
    ok("CREATE TABLE Bulk (n int)");
    ok("CREATE TABLE BulkLog (n int)");
    ok("CREATE TRIGGER Bulk_Log ON Bulk FOR INSERT AS INSERT BulkLog SELECT n FROM inserted");
    f->script("USE Yard\nGO\nINSERT Bulk VALUES (1)\n");
    ok("INSERT Bulk VALUES (2)");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM Bulk"), "2");
    EXPECT_EQ(scalar("SELECT SUM(n) FROM BulkLog"), "2");
}

INSTANTIATE_TEST_SUITE_P(BothVersions, Modules, ::testing::Values("8.00.2039", "10.50.1600.1"));

// TRY ... CATCH came with SQL Server 2005: errors raised in the TRY block, in it or in what it
// calls, go to the CATCH block with their facts, and nothing reaches the client.
TEST(TryCatch, ErrorsGoToTheCatchBlockWithTheirFacts) {
    EngineFixture f("10.50.1600.1");
    ASSERT_EQ(f.run("CREATE DATABASE Yard").error(), nullptr);
    f.run("USE Yard");
    ASSERT_EQ(f.run("CREATE TABLE T (Id int PRIMARY KEY)").error(), nullptr);
    ASSERT_EQ(f.run("CREATE PROCEDURE AddTwice @id int AS\nINSERT T VALUES (@id)\n"
                    "INSERT T VALUES (@id)\nSELECT 'not reached'")
                  .error(),
              nullptr);
    CaptureSink s = f.run("BEGIN TRY\n  EXEC AddTwice 1\n  SELECT 'not reached either'\nEND TRY\n"
                          "BEGIN CATCH\n  SELECT ERROR_NUMBER(), ERROR_SEVERITY(), "
                          "ERROR_PROCEDURE(), ERROR_LINE(), @@ERROR\nEND CATCH\n"
                          "SELECT ERROR_NUMBER()");
    EXPECT_EQ(s.error(), nullptr) << s.errorText();
    ASSERT_EQ(s.sets.size(), 2u);
    EXPECT_EQ(s.sets[0].at(0, 0), "2627");
    EXPECT_EQ(s.sets[0].at(0, 1), "14");
    EXPECT_EQ(s.sets[0].at(0, 2), "AddTwice");
    EXPECT_EQ(s.sets[0].at(0, 3), "3");
    EXPECT_EQ(s.sets[0].at(0, 4), "2627");
    EXPECT_EQ(s.sets[1].at(0, 0), "NULL");
    EXPECT_EQ(f.query("SELECT COUNT(*) FROM T").at(0, 0), "1");

    // RAISERROR of severity 11 and more is caught too; 10 and less is only information.
    CaptureSink r =
        f.run("BEGIN TRY\n  RAISERROR ('note', 10, 1)\n  RAISERROR ('stop %d', 16, 2, 7)\n"
              "END TRY\nBEGIN CATCH\n  SELECT ERROR_MESSAGE(), ERROR_STATE()\n"
              "END CATCH");
    EXPECT_EQ(r.error(), nullptr) << r.errorText();
    ASSERT_EQ(r.sets.size(), 1u);
    EXPECT_EQ(r.sets[0].at(0, 0), "stop 7");
    EXPECT_EQ(r.sets[0].at(0, 1), "2");
    ASSERT_FALSE(r.messages.empty());
    EXPECT_EQ(r.messages[0].text, "note");

    // SQL Server 2000 knows no TRY: to it the word is a name.
    EngineFixture old("8.00.2039");
    CaptureSink refused = old.run("BEGIN TRY SELECT 1 END TRY BEGIN CATCH SELECT 2 END CATCH");
    ASSERT_NE(refused.error(), nullptr);
    EXPECT_EQ(refused.error()->number, 102);
}

// A table variable holds rows for its batch, with the declared columns' identity, defaults and
// keys, and is gone in the next batch.
TEST_P(Modules, TableVariablesHoldRowsForTheirBatch) {
    ok("CREATE TABLE Hulls (Name varchar(20))");
    ok("INSERT Hulls VALUES ('Ketch') INSERT Hulls VALUES ('Yawl') INSERT Hulls VALUES ('Sloop')");
    CaptureSink s =
        ok("DECLARE @Work TABLE (Id int IDENTITY PRIMARY KEY, Name varchar(20), "
           "Done bit NOT NULL DEFAULT 0)\n"
           "INSERT INTO @Work (Name) SELECT Name FROM Hulls ORDER BY Name\n"
           "DECLARE @id int, @name varchar(20), @list varchar(100)\nSET @list = ''\n"
           "WHILE EXISTS (SELECT * FROM @Work WHERE Done = 0)\nBEGIN\n"
           "  SELECT TOP 1 @id = Id, @name = Name FROM @Work WHERE Done = 0 ORDER BY Id\n"
           "  SET @list = @list + @name + ';'\n"
           "  UPDATE @Work SET Done = 1 WHERE Id = @id\nEND\n"
           "SELECT @list, (SELECT MAX(Id) FROM @Work)");
    ASSERT_FALSE(s.sets.empty());
    EXPECT_EQ(s.sets.back().at(0, 0), "Ketch;Sloop;Yawl;");
    EXPECT_EQ(s.sets.back().at(0, 1), "3");
    CaptureSink later = f->run("SELECT * FROM @Work");
    ASSERT_NE(later.error(), nullptr);
    EXPECT_EQ(later.error()->number, 1087);
    EXPECT_EQ(later.error()->text, "Must declare the table variable \"@Work\".");
}
