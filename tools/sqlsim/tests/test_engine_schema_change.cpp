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

// A column renamed as a deployment script renames it: the rows keep their values, the column
// keeps its type, nullability and place, names with brackets and apostrophes are taken as the
// quoted parts say, and a rolled-back transaction takes the rename back with it.
TEST_P(SchemaChange, SpRenameColumnKeepsValuesTypeAndPlace) {
    ok("CREATE TABLE [Order]]s] (Id int NOT NULL PRIMARY KEY, [it's] decimal(9,2) NOT NULL, "
       "Tail varchar(5) NULL)");
    ok("CREATE INDEX IX_Its ON [Order]]s] ([it's])");
    ok("INSERT INTO [Order]]s] VALUES (1, 1.50, 'a')\nINSERT INTO [Order]]s] VALUES (2, 2.25, "
       "NULL)");
    const std::string columns = "SELECT c.name, c.colid, t.name, c.prec, c.scale, c.isnullable "
                                "FROM syscolumns c JOIN systypes t ON t.xusertype = c.xusertype "
                                "WHERE c.id = OBJECT_ID('[Order]]s]') ORDER BY c.colid";
    ok("EXEC sp_rename N'[dbo].[Order]]s].[it''s]', N'a]b''c', 'COLUMN';");
    EXPECT_EQ(rows(columns), (std::vector<std::string>{"Id|1|int|10|0|0", "a]b'c|2|decimal|9|2|0",
                                                       "Tail|3|varchar|5|NULL|1"}));
    EXPECT_EQ(rows("SELECT Id, [a]]b'c], Tail FROM [Order]]s] ORDER BY Id"),
              (std::vector<std::string>{"1|1.50|a", "2|2.25|NULL"}));
    // The index follows the column.
    EXPECT_EQ(rows("SELECT c.name FROM sysindexkeys k JOIN syscolumns c ON c.id = k.id AND "
                   "c.colid = k.colid JOIN sysindexes i ON i.id = k.id AND i.indid = k.indid "
                   "WHERE i.name = 'IX_Its'"),
              (std::vector<std::string>{"a]b'c"}));

    ok("BEGIN TRANSACTION\nEXEC sp_rename 'Order]s.Tail', 'Last', 'COLUMN'\nROLLBACK TRANSACTION");
    EXPECT_EQ(one("SELECT name FROM syscolumns WHERE id = OBJECT_ID('[Order]]s]') AND colid = 3"),
              "Tail");
    EXPECT_EQ(rows("SELECT Tail FROM [Order]]s] ORDER BY Id"),
              (std::vector<std::string>{"a", "NULL"}));

    // Refused as SQL Server refuses them, and nothing changes.
    const std::pair<const char*, const char*> refusals[] = {
        {"EXEC sp_rename N'[dbo].[Order]]s].[Gone]', N'X', 'COLUMN';",
         "15248: Either the parameter @objname is ambiguous or the claimed @objtype (COLUMN) is "
         "wrong."},
        {"EXEC sp_rename N'[dbo].[Order]]s].[Tail]', N'ID', 'COLUMN';",
         "15335: Error: The new name 'ID' is already in use as a COLUMN name and would cause a "
         "duplicate that is not permitted."},
        {"EXEC sp_rename N'[dbo].[Nope].[Tail]', N'X', 'COLUMN';",
         "15248: Either the parameter @objname is ambiguous or the claimed @objtype (COLUMN) is "
         "wrong."},
    };
    for (const auto& [sql, error] : refusals)
        EXPECT_EQ(fails(sql), error) << sql;
    EXPECT_EQ(rows("SELECT name FROM syscolumns WHERE id = OBJECT_ID('[Order]]s]') ORDER BY colid"),
              (std::vector<std::string>{"Id", "a]b'c", "Tail"}));
}

// Columns added to a table with rows: NULL, or the default where SQL Server fills it in, and
// the rows already there read back unchanged.
TEST_P(SchemaChange, AddedColumnsFillExistingRowsAsDocumented) {
    ok("CREATE TABLE A1 (Id int IDENTITY(1,1) NOT NULL, Name varchar(10) NULL)");
    ok("INSERT INTO A1 (Name) VALUES ('a')\nINSERT INTO A1 (Name) VALUES ('b')");
    ok("ALTER TABLE A1 ADD Plain int NULL, Dflt int NULL CONSTRAINT DF_A1_Dflt DEFAULT 5, "
       "Kept int NULL CONSTRAINT DF_A1_Kept DEFAULT 6 WITH VALUES, "
       "Must int NOT NULL CONSTRAINT DF_A1_Must DEFAULT 7, Tag varchar(5) NOT NULL DEFAULT 'x'");
    EXPECT_EQ(rows("SELECT Id, Name, Plain, Dflt, Kept, Must, Tag FROM A1 ORDER BY Id"),
              (std::vector<std::string>{"1|a|NULL|NULL|6|7|x", "2|b|NULL|NULL|6|7|x"}));
    // Defaults and the identity still work for new rows.
    ok("INSERT INTO A1 (Name) VALUES ('c')");
    EXPECT_EQ(rows("SELECT Id, Dflt, Kept, Must FROM A1 WHERE Name = 'c'"),
              (std::vector<std::string>{"3|5|6|7"}));
    EXPECT_EQ(one("SELECT cdefault FROM syscolumns WHERE id = OBJECT_ID('A1') AND name = 'Must'"),
              one("SELECT id FROM sysobjects WHERE name = 'DF_A1_Must'"));
    EXPECT_EQ(one("SELECT MAX(colid) FROM syscolumns WHERE id = OBJECT_ID('A1')"), "7");

    const std::string refusal = fails("ALTER TABLE A1 ADD Bare int NOT NULL");
    if (v8()) {
        EXPECT_EQ(refusal, "4901: ALTER TABLE only allows columns to be added that can contain "
                           "nulls or have a DEFAULT definition specified. Column 'Bare' cannot "
                           "be added to table 'A1' because it does not allow nulls and does not "
                           "specify a DEFAULT definition.");
    } else {
        EXPECT_EQ(refusal,
                  "4901: ALTER TABLE only allows columns to be added that can contain nulls, or "
                  "have a DEFAULT definition specified, or the column being added is an "
                  "identity or timestamp column, or alternatively if none of the previous "
                  "conditions are satisfied the table must be empty to allow addition of this "
                  "column. Column 'Bare' cannot be added to non-empty table 'A1' because it "
                  "does not satisfy these conditions.");
    }
    // The refused statement left nothing behind.
    EXPECT_EQ(one("SELECT COUNT(*) FROM syscolumns WHERE id = OBJECT_ID('A1')"), "7");
    EXPECT_EQ(fails("ALTER TABLE A1 ADD Name int NULL"),
              "2705: Column names in each table must be unique. Column name 'Name' in table "
              "'A1' is specified more than once.");
    // A table whose default is a function call (made as a SQLite expression) changes shape
    // too, and the default still fills new rows.
    ok("CREATE TABLE A3 (Id int NOT NULL, Stamp datetime NOT NULL CONSTRAINT DF_A3 DEFAULT "
       "(getdate()))");
    ok("INSERT INTO A3 (Id) VALUES (1)");
    ok("ALTER TABLE A3 ADD Extra int NULL");
    ok("ALTER TABLE A3 DROP COLUMN Extra");
    ok("INSERT INTO A3 (Id) VALUES (2)");
    EXPECT_EQ(one("SELECT COUNT(*) FROM A3 WHERE Stamp IS NOT NULL"), "2");
    // An identity added later numbers the rows there already.
    ok("CREATE TABLE A2 (Name varchar(10) NULL)");
    ok("INSERT INTO A2 VALUES ('p')\nINSERT INTO A2 VALUES ('q')");
    ok("ALTER TABLE A2 ADD Seq int IDENTITY(10, 5) NOT NULL");
    ok("INSERT INTO A2 (Name) VALUES ('r')");
    EXPECT_EQ(rows("SELECT Name, Seq FROM A2 ORDER BY Seq"),
              (std::vector<std::string>{"p|10", "q|15", "r|20"}));
}

// ALTER COLUMN changes type, length and nullability with the rows kept, and refuses what
// SQL Server refuses: dependents first (5074 for each, then 4922), NULLs, truncation.
TEST_P(SchemaChange, AlterColumnKeepsRowsAndRefusesLikeSqlServer) {
    ok("CREATE TABLE C1 (Id int NOT NULL CONSTRAINT PK_C1 PRIMARY KEY, Code varchar(10) NULL, "
       "Qty smallint NULL CONSTRAINT DF_C1_Qty DEFAULT 1, Note varchar(20) NULL, "
       "Lim int NULL CONSTRAINT CK_C1_Lim CHECK (Lim > 0))");
    ok("CREATE INDEX IX_C1_Code ON C1 (Code)");
    ok("INSERT INTO C1 VALUES (1, 'abc', 2, 'first', 1)\n"
       "INSERT INTO C1 VALUES (2, NULL, 3, 'second one', 2)");
    // Wider types and longer indexed strings pass.
    ok("ALTER TABLE C1 ALTER COLUMN Code varchar(40) NULL");
    ok("ALTER TABLE C1 ALTER COLUMN Note nvarchar(30) NULL");
    ok("ALTER TABLE C1 ALTER COLUMN Qty smallint NOT NULL");
    EXPECT_EQ(rows("SELECT Id, Code, Qty, Note, Lim FROM C1 ORDER BY Id"),
              (std::vector<std::string>{"1|abc|2|first|1", "2|NULL|3|second one|2"}));
    EXPECT_EQ(rows("SELECT t.name, c.length, c.isnullable FROM syscolumns c JOIN systypes t ON "
                   "t.xusertype = c.xusertype WHERE c.id = OBJECT_ID('C1') AND c.name IN "
                   "('Code', 'Note', 'Qty') ORDER BY c.colid"),
              (std::vector<std::string>{"varchar|40|1", "smallint|2|0", "nvarchar|60|1"}));

    struct Refusal {
        const char* sql;
        std::vector<std::string> errors;
    };
    const Refusal refusals[] = {
        {"ALTER TABLE C1 ALTER COLUMN Id bigint NOT NULL",
         {"5074: The object 'PK_C1' is dependent on column 'Id'.",
          "4922: ALTER TABLE ALTER COLUMN Id failed because one or more objects access this "
          "column."}},
        {"ALTER TABLE C1 ALTER COLUMN Code varchar(5) NULL",
         {"5074: The index 'IX_C1_Code' is dependent on column 'Code'.",
          "4922: ALTER TABLE ALTER COLUMN Code failed because one or more objects access this "
          "column."}},
        {"ALTER TABLE C1 ALTER COLUMN Qty int NOT NULL",
         {"5074: The object 'DF_C1_Qty' is dependent on column 'Qty'.",
          "4922: ALTER TABLE ALTER COLUMN Qty failed because one or more objects access this "
          "column."}},
        {"ALTER TABLE C1 ALTER COLUMN Lim bigint NULL",
         {"5074: The object 'CK_C1_Lim' is dependent on column 'Lim'.",
          "4922: ALTER TABLE ALTER COLUMN Lim failed because one or more objects access this "
          "column."}},
        {"ALTER TABLE C1 ALTER COLUMN Code varchar(40) NOT NULL",
         {"515: Cannot insert the value NULL into column 'Code', table 'T.dbo.C1'; column does "
          "not allow nulls. UPDATE fails."}},
        {"ALTER TABLE C1 ALTER COLUMN Note varchar(5) NULL",
         {"8152: String or binary data would be truncated."}},
        {"ALTER TABLE C1 ALTER COLUMN Nope int NULL",
         {"4924: ALTER TABLE ALTER COLUMN failed because column 'Nope' does not exist in table "
          "'C1'."}},
    };
    for (const auto& r : refusals) {
        CaptureSink c = run(r.sql);
        std::vector<std::string> got;
        for (const auto& m : c.messages)
            if (m.severity > 10)
                got.push_back(std::to_string(m.number) + ": " + m.text);
        EXPECT_EQ(got, r.errors) << r.sql;
    }
    EXPECT_EQ(rows("SELECT Id, Code, Qty, Note, Lim FROM C1 ORDER BY Id"),
              (std::vector<std::string>{"1|abc|2|first|1", "2|NULL|3|second one|2"}));
}

// DROP COLUMN (several at once) keeps the other columns' rows and ids; a column a constraint
// or index depends on stays. DROP CONSTRAINT of an unknown name is 3728, then 3727.
TEST_P(SchemaChange, DropColumnAndConstraintKeepRows) {
    ok("CREATE TABLE D1 (Id int NOT NULL CONSTRAINT PK_D1 PRIMARY KEY, A int NULL, "
       "B varchar(10) NULL CONSTRAINT DF_D1_B DEFAULT 'b', C int NULL, E int NULL)");
    ok("CREATE INDEX IX_D1_C ON D1 (C)");
    ok("INSERT INTO D1 VALUES (1, 10, 'x', 100, 1000)\nINSERT INTO D1 VALUES (2, 20, 'y', 200, "
       "2000)");
    ok("ALTER TABLE D1 DROP COLUMN A, E");
    EXPECT_EQ(rows("SELECT * FROM D1 ORDER BY Id"),
              (std::vector<std::string>{"1|x|100", "2|y|200"}));
    EXPECT_EQ(rows("SELECT name, colid FROM syscolumns WHERE id = OBJECT_ID('D1') ORDER BY colid"),
              (std::vector<std::string>{"Id|1", "B|3", "C|4"}));
    struct Refusal {
        const char* sql;
        std::vector<std::string> errors;
    };
    const Refusal refusals[] = {
        {"ALTER TABLE D1 DROP COLUMN B",
         {"5074: The object 'DF_D1_B' is dependent on column 'B'.",
          "4922: ALTER TABLE DROP COLUMN B failed because one or more objects access this "
          "column."}},
        {"ALTER TABLE D1 DROP COLUMN C",
         {"5074: The index 'IX_D1_C' is dependent on column 'C'.",
          "4922: ALTER TABLE DROP COLUMN C failed because one or more objects access this "
          "column."}},
        {"ALTER TABLE D1 DROP CONSTRAINT Nope",
         {"3728: 'Nope' is not a constraint.", "3727: Could not drop constraint. See previous "
                                               "errors."}},
    };
    for (const auto& r : refusals) {
        CaptureSink c = run(r.sql);
        std::vector<std::string> got;
        for (const auto& m : c.messages)
            if (m.severity > 10)
                got.push_back(std::to_string(m.number) + ": " + m.text);
        EXPECT_EQ(got, r.errors) << r.sql;
    }
    // Once the default and the index are gone the columns may go, in one statement.
    ok("ALTER TABLE D1 DROP CONSTRAINT DF_D1_B");
    ok("DROP INDEX D1.IX_D1_C");
    ok("ALTER TABLE D1 DROP COLUMN B, COLUMN C");
    EXPECT_EQ(rows("SELECT * FROM D1 ORDER BY Id"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(one("SELECT COUNT(*) FROM sysobjects WHERE name = 'DF_D1_B'"), "0");
    // Dropped and added back, the key works again.
    ok("ALTER TABLE D1 DROP CONSTRAINT PK_D1");
    EXPECT_EQ(one("SELECT COUNT(*) FROM sysindexes WHERE id = OBJECT_ID('D1') AND indid = 0"), "1");
    ok("ALTER TABLE D1 ADD CONSTRAINT PK_D1 PRIMARY KEY (Id)");
    EXPECT_EQ(one("SELECT COUNT(*) FROM sysindexes WHERE name = 'PK_D1'"), "1");
}

INSTANTIATE_TEST_SUITE_P(Versions, SchemaChange, ::testing::Values("8.00.2039", "10.50.1600.1"));
