// Schema changes a deployment script sends: altered modules, renamed objects and changed
// tables, with the texts and rows SQL Server keeps across them.
#include "test_engine_support.h"

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

class SchemaChange : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        f = std::make_unique<EngineFixture>(GetParam());
        f->script("CREATE DATABASE T\nGO\n");
        s = f->open("T");
    }
    bool v8() const { return std::string(GetParam()).rfind("8.", 0) == 0; }
    ResultSet q(const std::string& sql) { return f->query(sql, s.get()); }
    CaptureSink run(const std::string& sql) { return f->run(sql, s.get()); }
    void ok(const std::string& sql) {
        CaptureSink c = run(sql);
        ASSERT_EQ(c.error(), nullptr) << sql << "\n" << c.errorText();
    }
    std::string fails(const std::string& sql) {
        CaptureSink c = run(sql);
        return c.errorText();
    }
    std::string one(const std::string& sql) {
        ResultSet r = q(sql);
        return r.rows.empty() ? "<none>" : r.at(0, 0);
    }
    std::string text(const std::string& name) {
        return one("SELECT c.text FROM syscomments c JOIN sysobjects o ON o.id = c.id "
                   "WHERE o.name = '" +
                   name + "'");
    }
    std::vector<std::string> rows(const std::string& sql) {
        ResultSet r = q(sql);
        std::vector<std::string> out;
        for (size_t k = 0; k < r.rows.size(); ++k) {
            std::string line;
            for (size_t c = 0; c < r.cols.size(); ++c)
                line += (c ? "|" : "") + r.at(k, c);
            out.push_back(line);
        }
        return out;
    }
    std::unique_ptr<EngineFixture> f;
    std::unique_ptr<Session> s;
};

} // namespace

// The stub-then-ALTER idiom: every module ends up with the text of the ALTER batch, its
// keyword turned into CREATE, comments and spacing before it kept.
TEST_P(SchemaChange, AlteredModulesKeepTheirTextAsCreate) {
    ok("CREATE TABLE Base (Id int NOT NULL)");
    struct Case {
        const char* name;
        const char* stub;
        const char* alter;
        const char* stored;
    };
    const Case cases[] = {
        {"P1", "CREATE PROCEDURE dbo.P1 AS RETURN 0",
         "-- version 2\r\nALTER PROCEDURE dbo.P1\r\nAS\r\nSELECT 2 AS two\r\n",
         "-- version 2\r\nCREATE PROCEDURE dbo.P1\r\nAS\r\nSELECT 2 AS two\r\n"},
        {"V1", "CREATE VIEW V1 AS SELECT 1 AS one",
         "/* kept */  alter   VIEW V1 AS SELECT Id FROM Base",
         "/* kept */  CREATE   VIEW V1 AS SELECT Id FROM Base"},
        {"F1", "CREATE FUNCTION dbo.F1() RETURNS int AS BEGIN RETURN 1 END",
         "ALTER FUNCTION dbo.F1() RETURNS int AS BEGIN RETURN 2 END",
         "CREATE FUNCTION dbo.F1() RETURNS int AS BEGIN RETURN 2 END"},
        {"TR1", "CREATE TRIGGER TR1 ON Base FOR INSERT AS RETURN",
         "\nALTER TRIGGER TR1 ON Base FOR INSERT, UPDATE AS RETURN",
         "\nCREATE TRIGGER TR1 ON Base FOR INSERT, UPDATE AS RETURN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ok(c.stub);
        ok(c.alter);
        EXPECT_EQ(text(c.name), c.stored);
        // sp_helptext hands the same text back a line to a row.
        CaptureSink h = run(std::string("EXEC sp_helptext '") + c.name + "'");
        ASSERT_EQ(h.error(), nullptr) << h.errorText();
        ASSERT_EQ(h.sets.size(), 1u);
        EXPECT_EQ(h.sets[0].cols.at(0).name, "Text");
        std::string joined;
        for (size_t r = 0; r < h.sets[0].rows.size(); ++r)
            joined += h.sets[0].at(r, 0);
        EXPECT_EQ(joined, c.stored);
        if (!v8()) {
            EXPECT_EQ(one(std::string("SELECT definition FROM sys.sql_modules WHERE object_id = "
                                      "OBJECT_ID('") +
                          c.name + "')"),
                      c.stored);
            EXPECT_EQ(one(std::string("SELECT OBJECT_DEFINITION(OBJECT_ID('") + c.name + "'))"),
                      c.stored);
        }
    }
    // An ALTER of a missing module changes nothing and says so.
    EXPECT_EQ(fails("ALTER PROCEDURE dbo.Missing AS RETURN 0"),
              "208: Invalid object name 'dbo.Missing'.");
    EXPECT_EQ(fails("EXEC sp_helptext 'Base'"), "15197: There is no text for object 'Base'.");
    EXPECT_EQ(fails("EXEC sp_helptext 'Nope'"),
              "15009: The object 'Nope' does not exist in database 'T' or is invalid for this "
              "operation.");
    if (v8()) {
        EXPECT_EQ(fails("SELECT OBJECT_DEFINITION(1)"),
                  "195: 'OBJECT_DEFINITION' is not a recognized function name.");
    }
}

// sp_rename changes the name the catalog and queries use, never a module's stored text, and
// always cautions that scripts may break.
TEST_P(SchemaChange, SpRenameRenamesColumnsTablesIndexesAndObjects) {
    ok("CREATE TABLE R1 (Id int NOT NULL CONSTRAINT PK_R1 PRIMARY KEY, Name varchar(20) NULL)");
    ok("CREATE INDEX IX_R1_Name ON R1 (Name)");
    ok("INSERT INTO R1 VALUES (1, 'one')\nINSERT INTO R1 VALUES (2, 'two')");
    ok("CREATE PROCEDURE GetR1 AS SELECT Id FROM R1");
    ok("CREATE VIEW VR1 AS SELECT Id FROM R1");

    CaptureSink c = run("EXEC sp_rename 'R1.Name', 'Label', 'COLUMN'");
    ASSERT_EQ(c.error(), nullptr) << c.errorText();
    ASSERT_FALSE(c.messages.empty());
    EXPECT_EQ(c.messages[0].number, 15477);
    EXPECT_EQ(c.messages[0].severity, 10);
    EXPECT_EQ(c.messages[0].text,
              "Caution: Changing any part of an object name could break scripts and stored "
              "procedures.");
    EXPECT_EQ(rows("SELECT Id, Label FROM R1 ORDER BY Id"),
              (std::vector<std::string>{"1|one", "2|two"}));
    EXPECT_EQ(one("SELECT name FROM syscolumns WHERE id = OBJECT_ID('R1') AND colid = 2"), "Label");

    ok("EXEC sp_rename 'dbo.R1.IX_R1_Name', 'IX_R1_Label', 'INDEX'");
    EXPECT_EQ(one("SELECT COUNT(*) FROM sysindexes WHERE name = 'IX_R1_Label'"), "1");
    // Renaming a key's index renames its constraint, and the other way round.
    ok("EXEC sp_rename 'R1.PK_R1', 'PK_R1_New', 'INDEX'");
    EXPECT_EQ(one("SELECT xtype FROM sysobjects WHERE name = 'PK_R1_New'"), "PK");
    ok("EXEC sp_rename 'PK_R1_New', 'PK_R1_Again'");
    EXPECT_EQ(one("SELECT COUNT(*) FROM sysindexes WHERE name = 'PK_R1_Again'"), "1");

    ok("EXEC sp_rename 'R1', 'R2'");
    EXPECT_EQ(rows("SELECT Id, Label FROM R2 ORDER BY Id"),
              (std::vector<std::string>{"1|one", "2|two"}));
    EXPECT_EQ(fails("SELECT * FROM R1"), "208: Invalid object name 'R1'.");
    // A new table may take the old name.
    ok("CREATE TABLE R1 (X int NULL)");

    ok("EXEC sp_rename 'GetR1', 'GetR2'");
    ok("EXEC sp_rename 'VR1', 'VR2'");
    EXPECT_EQ(text("GetR2"), "CREATE PROCEDURE GetR1 AS SELECT Id FROM R1");
    EXPECT_EQ(text("VR2"), "CREATE VIEW VR1 AS SELECT Id FROM R1");
    EXPECT_EQ(one("SELECT COUNT(*) FROM VR2"), "2");

    struct Refusal {
        const char* sql;
        const char* error;
    };
    const Refusal refusals[] = {
        {"EXEC sp_rename 'R2.Nope', 'X', 'COLUMN'",
         "15248: Either the parameter @objname is ambiguous or the claimed @objtype (COLUMN) is "
         "wrong."},
        {"EXEC sp_rename 'R2.Id', 'Label', 'COLUMN'",
         "15335: Error: The new name 'Label' is already in use as a COLUMN name and would cause "
         "a duplicate that is not permitted."},
        {"EXEC sp_rename 'Nope', 'X'",
         "15248: Either the parameter @objname is ambiguous or the claimed @objtype () is "
         "wrong."},
        {"EXEC sp_rename 'R2', 'R1'",
         "15335: Error: The new name 'R1' is already in use as a object name and would cause a "
         "duplicate that is not permitted."},
        {"EXEC sp_rename 'R2.Id', 'Z', 'THING'",
         "15249: Error: Explicit @objtype 'THING' is unrecognized."},
    };
    for (const auto& r : refusals)
        EXPECT_EQ(fails(r.sql), r.error) << r.sql;
}

INSTANTIATE_TEST_SUITE_P(Versions, SchemaChange, ::testing::Values("8.00.2039", "10.50.1600.1"));
