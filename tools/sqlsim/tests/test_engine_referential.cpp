// What a foreign key does to the referencing rows when a referenced row goes or its key changes
// (CASCADE, SET NULL, SET DEFAULT, down to the grandchildren and undone with the statement), how
// WITH CHECK and WITH NOCHECK decide whether a constraint is trusted, and UPDATE and DELETE with
// a FROM clause of their own. Each case runs as SQL Server 2000 and as 2008 R2.
#include "test_engine_support.h"

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

// A harbour's depots, the vessels based there, their voyages and the inspections of a voyage.
// Depots cascade to vessels (delete and key change), vessels to voyages (delete only);
// inspections keep their voyage (NO ACTION).
const char* const kHarbour =
    "CREATE TABLE dbo.Depots (\n"
    "    DepotCode char(4) NOT NULL CONSTRAINT PK_Depots PRIMARY KEY,\n"
    "    DepotName varchar(40) NOT NULL\n"
    ")\n"
    "CREATE TABLE dbo.Vessels (\n"
    "    VesselID int NOT NULL CONSTRAINT PK_Vessels PRIMARY KEY,\n"
    "    DepotCode char(4) NOT NULL,\n"
    "    VesselName varchar(40) NOT NULL,\n"
    "    Tonnage int NULL,\n"
    "    CONSTRAINT FK_Vessels_Depots FOREIGN KEY (DepotCode) REFERENCES dbo.Depots (DepotCode)\n"
    "        ON DELETE CASCADE ON UPDATE CASCADE\n"
    ")\n"
    "CREATE TABLE dbo.Voyages (\n"
    "    VoyageID int NOT NULL CONSTRAINT PK_Voyages PRIMARY KEY,\n"
    "    VesselID int NOT NULL CONSTRAINT FK_Voyages_Vessels REFERENCES dbo.Vessels (VesselID)\n"
    "        ON DELETE CASCADE,\n"
    "    Departed datetime NULL,\n"
    "    Cleared bit NULL\n"
    ")\n"
    "CREATE TABLE dbo.Inspections (\n"
    "    InspectionID int NOT NULL CONSTRAINT PK_Inspections PRIMARY KEY,\n"
    "    VoyageID int NOT NULL CONSTRAINT FK_Inspections_Voyages REFERENCES dbo.Voyages "
    "(VoyageID)\n"
    ")\n"
    "GO\n"
    "INSERT INTO dbo.Depots VALUES ('NORD', 'North quay')\n"
    "INSERT INTO dbo.Depots VALUES ('SUED', 'South basin')\n"
    "INSERT INTO dbo.Vessels VALUES (1, 'NORD', 'Gull', 120)\n"
    "INSERT INTO dbo.Vessels VALUES (2, 'NORD', 'Tern', 95)\n"
    "INSERT INTO dbo.Vessels VALUES (3, 'SUED', 'Heron', 300)\n"
    "INSERT INTO dbo.Voyages VALUES (10, 1, '19990301', 0)\n"
    "INSERT INTO dbo.Voyages VALUES (11, 2, '19990302', 0)\n"
    "INSERT INTO dbo.Voyages VALUES (12, 3, '19990303', 0)\n"
    "GO\n";

class Referential : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        f = std::make_unique<EngineFixture>(GetParam());
        f->script(kHarbour);
    }
    bool is2000() const { return std::string(GetParam()) == k2000; }
    std::string one(const std::string& sql) { return f->query(sql).at(0, 0); }
    // The rows of a one-column query, in order.
    std::vector<std::string> list(const std::string& sql) { return f->query(sql).column(0); }
    std::string counts() {
        return one("SELECT CAST((SELECT COUNT(*) FROM Depots) AS varchar(9)) + '/' + "
                   "CAST((SELECT COUNT(*) FROM Vessels) AS varchar(9)) + '/' + "
                   "CAST((SELECT COUNT(*) FROM Voyages) AS varchar(9)) + '/' + "
                   "CAST((SELECT COUNT(*) FROM Inspections) AS varchar(9))");
    }
    // Runs a batch that must succeed; the row count of its last statement.
    long long changed(const std::string& sql) {
        CaptureSink c = f->run(sql);
        EXPECT_EQ(c.error(), nullptr) << c.errorText() << "\n" << sql;
        return c.dones.empty() ? -1 : c.dones.back().count;
    }
    std::unique_ptr<EngineFixture> f;
};

TEST_P(Referential, DeletesAndKeyChangesCascadeToGrandchildren) {
    // One depot row is deleted; its two vessels and their voyages go with it, and the count is
    // the depot's alone.
    EXPECT_EQ(changed("DELETE FROM Depots WHERE DepotCode = 'NORD'"), 1);
    EXPECT_EQ(counts(), "1/1/1/0");
    EXPECT_EQ(list("SELECT VoyageID FROM Voyages"), (std::vector<std::string>{"12"}));

    // A key change reaches the vessels; ON UPDATE NO ACTION on voyages is not involved.
    EXPECT_EQ(changed("UPDATE Depots SET DepotCode = 'WEST' WHERE DepotCode = 'SUED'"), 1);
    EXPECT_EQ(list("SELECT DepotCode FROM Vessels"), (std::vector<std::string>{"WEST"}));
    // Changing something else leaves the vessels alone.
    EXPECT_EQ(changed("UPDATE Depots SET DepotName = 'West pier'"), 1);
    EXPECT_EQ(list("SELECT DepotCode FROM Vessels"), (std::vector<std::string>{"WEST"}));

    // Switched off, the key acts no more: the vessel is left pointing nowhere.
    EXPECT_EQ(changed("ALTER TABLE Vessels NOCHECK CONSTRAINT FK_Vessels_Depots\n"
                      "DELETE FROM Depots"),
              1);
    EXPECT_EQ(counts(), "0/1/1/0");
}

TEST_P(Referential, AKeyFurtherDownThatRefusesUndoesTheWholeCascade) {
    changed("INSERT INTO Inspections VALUES (100, 11)");
    CaptureSink c = f->run("DELETE FROM Depots WHERE DepotCode = 'NORD'");
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->number, 547);
    EXPECT_EQ(c.error()->text,
              is2000() ? "DELETE statement conflicted with COLUMN REFERENCE constraint "
                         "'FK_Inspections_Voyages'. The conflict occurred in database 'master', "
                         "table 'Inspections', column 'VoyageID'."
                       : "The DELETE statement conflicted with the REFERENCE constraint "
                         "\"FK_Inspections_Voyages\". The conflict occurred in database "
                         "\"master\", table \"dbo.Inspections\", column 'VoyageID'.");
    EXPECT_EQ(counts(), "2/3/3/1");

    // Inside a transaction the statement alone is undone; the work before it stays.
    c = f->run("BEGIN TRAN\nDELETE FROM Depots WHERE DepotCode = 'SUED'\n"
               "DELETE FROM Depots WHERE DepotCode = 'NORD'\nCOMMIT TRAN");
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(counts(), "1/2/2/1");
    EXPECT_EQ(one("SELECT @@TRANCOUNT"), "0");

    // A cascaded key change that would duplicate a key fails on that key.
    changed("INSERT INTO Depots VALUES ('EAST', 'East dock')");
    changed("CREATE TABLE dbo.Berths (DepotCode char(4) NOT NULL CONSTRAINT UQ_Berths UNIQUE "
            "REFERENCES dbo.Depots (DepotCode) ON UPDATE CASCADE, Berth int NULL)");
    changed("INSERT INTO Berths VALUES ('EAST', 1)");
    changed("INSERT INTO Berths VALUES ('NORD', 2)");
    c = f->run("UPDATE Depots SET DepotCode = 'NORD' WHERE DepotCode = 'EAST'");
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->number, 2627);
    EXPECT_EQ(changed("UPDATE Depots SET DepotCode = 'OSTE' WHERE DepotCode = 'EAST'"), 1);
    EXPECT_EQ(list("SELECT DepotCode FROM Berths ORDER BY Berth"),
              (std::vector<std::string>{"OSTE", "NORD"}));
}

TEST_P(Referential, SetNullAndSetDefaultKeepTheRowsAndFollowTheOtherConstraints) {
    const std::string crew =
        "CREATE TABLE dbo.Crew (CrewID int NOT NULL PRIMARY KEY,\n"
        "    VesselID int NULL CONSTRAINT FK_Crew_Vessels REFERENCES dbo.Vessels (VesselID)\n"
        "        ON DELETE SET NULL ON UPDATE SET NULL,\n"
        "    HomePort char(4) NOT NULL CONSTRAINT DF_Crew_Home DEFAULT ('KIEL'),\n"
        "    CONSTRAINT FK_Crew_Ports FOREIGN KEY (HomePort) REFERENCES dbo.Ports "
        "(PortCode) ON DELETE SET DEFAULT)";
    if (is2000()) {
        // SET NULL and SET DEFAULT came with SQL Server 2005; the older parser stops there.
        CaptureSink c = f->run(crew);
        ASSERT_NE(c.error(), nullptr);
        EXPECT_EQ(c.error()->text, "Incorrect syntax near the keyword 'SET'.");
        EXPECT_EQ(c.error()->line, 3);
        return;
    }
    changed("CREATE TABLE dbo.Ports (PortCode char(4) NOT NULL PRIMARY KEY)\n" + crew);
    changed("INSERT INTO Ports VALUES ('KIEL')\nINSERT INTO Ports VALUES ('HULL')\n"
            "INSERT INTO Crew VALUES (1, 1, 'HULL')\nINSERT INTO Crew VALUES (2, 3, 'KIEL')");
    EXPECT_EQ(changed("DELETE FROM Vessels WHERE VesselID = 1"), 1);
    EXPECT_EQ(list("SELECT COALESCE(CAST(VesselID AS varchar(9)), 'none') FROM Crew ORDER BY "
                   "CrewID"),
              (std::vector<std::string>{"none", "3"}));
    // Voyages keep their vessel (ON UPDATE NO ACTION), so the key changes once they are gone.
    CaptureSink c = f->run("UPDATE Vessels SET VesselID = 30 WHERE VesselID = 3");
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->number, 547);
    EXPECT_EQ(one("SELECT COUNT(*) FROM Crew WHERE VesselID IS NULL"), "1");
    EXPECT_EQ(changed("DELETE FROM Voyages WHERE VesselID = 3\n"
                      "UPDATE Vessels SET VesselID = 30 WHERE VesselID = 3"),
              1);
    EXPECT_EQ(one("SELECT COUNT(*) FROM Crew WHERE VesselID IS NULL"), "2");

    // The port goes: its crew move to the default port.
    EXPECT_EQ(changed("DELETE FROM Ports WHERE PortCode = 'HULL'"), 1);
    EXPECT_EQ(list("SELECT HomePort FROM Crew ORDER BY CrewID"),
              (std::vector<std::string>{"KIEL", "KIEL"}));
    // The default port itself cannot go: the default would point nowhere.
    c = f->run("DELETE FROM Ports WHERE PortCode = 'KIEL'");
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->number, 547);
    EXPECT_EQ(c.error()->text.rfind("The DELETE statement conflicted with the FOREIGN KEY "
                                    "constraint \"FK_Crew_Ports\".",
                                    0),
              0u)
        << c.error()->text;
    EXPECT_EQ(one("SELECT COUNT(*) FROM Ports"), "1");

    // A value the action writes must keep the referencing table's CHECK constraints; the
    // error names the statement that set it off.
    changed("CREATE TABLE dbo.Pilots (PilotID int NOT NULL PRIMARY KEY, VesselID int NULL "
            "CONSTRAINT FK_Pilots_Vessels REFERENCES dbo.Vessels (VesselID) ON DELETE SET NULL, "
            "CONSTRAINT CK_Pilots_Assigned CHECK (VesselID IS NOT NULL OR PilotID < 0))");
    changed("INSERT INTO Pilots VALUES (1, 30)");
    c = f->run("DELETE FROM Vessels");
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->text, "The DELETE statement conflicted with the CHECK constraint "
                               "\"CK_Pilots_Assigned\". The conflict occurred in database "
                               "\"master\", table \"dbo.Pilots\".");
    EXPECT_EQ(counts(), "2/2/1/0");
}

TEST_P(Referential, RefusedKeysSayWhyAndDroppedOnesStopActing) {
    // Depots already reach voyages through vessels: a second path is refused, and then SQL
    // Server says that nothing was created.
    changed("ALTER TABLE Voyages ADD HomeDepot char(4) NULL");
    CaptureSink c = f->run("ALTER TABLE Voyages ADD CONSTRAINT FK_Voyages_Depots FOREIGN KEY "
                           "(HomeDepot) REFERENCES Depots (DepotCode) ON DELETE CASCADE");
    ASSERT_EQ(c.messages.size(), 2u);
    EXPECT_EQ(c.messages[0].number, 1785);
    EXPECT_EQ(c.messages[0].severity, 16);
    EXPECT_EQ(c.messages[1].number, 1750);
    EXPECT_EQ(c.messages[1].text, "Could not create constraint. See previous errors.");
    EXPECT_EQ(one("SELECT COUNT(*) FROM sysobjects WHERE name = 'FK_Voyages_Depots'"), "0");
    // Without an action there is no path to count.
    changed("ALTER TABLE Voyages ADD CONSTRAINT FK_Voyages_Depots FOREIGN KEY (HomeDepot) "
            "REFERENCES Depots (DepotCode)");

    // A referencing table dropped takes its keys' actions with it; the referenced table's
    // rows can go as before.
    changed("DROP TABLE Inspections\nALTER TABLE Voyages DROP CONSTRAINT FK_Voyages_Depots\n"
            "DROP TABLE Voyages");
    EXPECT_EQ(changed("DELETE FROM Vessels WHERE VesselID = 3"), 1);
    // A dropped key acts no more.
    changed("ALTER TABLE Vessels DROP CONSTRAINT FK_Vessels_Depots");
    EXPECT_EQ(changed("DELETE FROM Depots WHERE DepotCode = 'NORD'"), 1);
    EXPECT_EQ(one("SELECT COUNT(*) FROM Vessels"), "2");
}

TEST_P(Referential, ActionsAreReportedInTheCatalog) {
    const std::string props =
        "SELECT OBJECTPROPERTY(OBJECT_ID('FK_Vessels_Depots'), 'CnstIsDeleteCascade'), "
        "OBJECTPROPERTY(OBJECT_ID('FK_Vessels_Depots'), 'CnstIsUpdateCascade'), "
        "OBJECTPROPERTY(OBJECT_ID('FK_Voyages_Vessels'), 'CnstIsUpdateCascade'), "
        "OBJECTPROPERTY(OBJECT_ID('FK_Inspections_Voyages'), 'CnstIsDeleteCascade'), "
        "OBJECTPROPERTY(OBJECT_ID('PK_Depots'), 'CnstIsDeleteCascade')";
    ResultSet r = f->query(props);
    EXPECT_EQ(r.rows.at(0).size(), 5u);
    std::vector<std::string> got;
    for (size_t c = 0; c < 5; ++c)
        got.push_back(r.at(0, c));
    EXPECT_EQ(got, (std::vector<std::string>{"1", "1", "0", "0", "NULL"}));
    if (is2000())
        return;
    r = f->query("SELECT fk.name, fk.delete_referential_action_desc, "
                 "fk.update_referential_action, OBJECT_NAME(fk.referenced_object_id), "
                 "OBJECT_NAME(fk.parent_object_id), fk.key_index_id, fk.is_system_named "
                 "FROM sys.foreign_keys fk ORDER BY fk.name");
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.column(0), (std::vector<std::string>{"FK_Inspections_Voyages", "FK_Vessels_Depots",
                                                     "FK_Voyages_Vessels"}));
    EXPECT_EQ(r.column(1), (std::vector<std::string>{"NO_ACTION", "CASCADE", "CASCADE"}));
    EXPECT_EQ(r.column(2), (std::vector<std::string>{"0", "1", "0"}));
    EXPECT_EQ(r.column(3), (std::vector<std::string>{"Voyages", "Depots", "Vessels"}));
    EXPECT_EQ(r.column(4), (std::vector<std::string>{"Inspections", "Vessels", "Voyages"}));
    EXPECT_EQ(r.column(5), (std::vector<std::string>{"1", "1", "1"}));
    EXPECT_EQ(r.column(6), (std::vector<std::string>{"0", "0", "0"}));
    r = f->query("SELECT pc.name, rc.name FROM sys.foreign_key_columns k\n"
                 "JOIN sys.columns pc ON pc.object_id = k.parent_object_id AND pc.column_id = "
                 "k.parent_column_id\n"
                 "JOIN sys.columns rc ON rc.object_id = k.referenced_object_id AND rc.column_id "
                 "= k.referenced_column_id\n"
                 "WHERE k.constraint_object_id = OBJECT_ID('FK_Vessels_Depots')");
    EXPECT_EQ(r.at(0, 0), "DepotCode");
    EXPECT_EQ(r.at(0, 1), "DepotCode");
}

TEST_P(Referential, TrustFollowsEachFormOfAlterTable) {
    // Each state as (CnstIsDisabled, CnstIsNotTrusted) of a FOREIGN KEY and a CHECK.
    auto state = [&](const char* name) {
        const std::string id = std::string("OBJECT_ID('") + name + "')";
        ResultSet r = f->query("SELECT OBJECTPROPERTY(" + id + ", 'CnstIsDisabled'), " +
                               "OBJECTPROPERTY(" + id + ", 'CnstIsNotTrusted')");
        std::string s = r.at(0, 0) + r.at(0, 1);
        if (!is2000()) {
            // The 2005 catalog views say the same.
            ResultSet v = f->query("SELECT is_disabled, is_not_trusted FROM sys.foreign_keys "
                                   "WHERE name = '" +
                                   std::string(name) +
                                   "' UNION ALL SELECT is_disabled, is_not_trusted FROM "
                                   "sys.check_constraints WHERE name = '" +
                                   name + "'");
            EXPECT_EQ(v.at(0, 0) + v.at(0, 1), s) << name;
        }
        return s;
    };
    changed("INSERT INTO Vessels VALUES (4, 'SUED', 'Wreck', -5)");
    // WITH CHECK is what ADD assumes: a row that breaks the new constraint refuses it.
    CaptureSink c = f->run("ALTER TABLE Vessels ADD CONSTRAINT CK_Vessels_Tonnage "
                           "CHECK (Tonnage > 0)");
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->number, 547);
    EXPECT_EQ(c.error()->text,
              is2000() ? "ALTER TABLE statement conflicted with COLUMN CHECK constraint "
                         "'CK_Vessels_Tonnage'. The conflict occurred in database 'master', "
                         "table 'Vessels', column 'Tonnage'."
                       : "The ALTER TABLE statement conflicted with the CHECK constraint "
                         "\"CK_Vessels_Tonnage\". The conflict occurred in database \"master\", "
                         "table \"dbo.Vessels\", column 'Tonnage'.");
    EXPECT_EQ(one("SELECT COUNT(*) FROM sysobjects WHERE name = 'CK_Vessels_Tonnage'"), "0");

    // WITH NOCHECK adds it without reading the rows: enabled, not trusted.
    changed("ALTER TABLE Vessels WITH NOCHECK ADD CONSTRAINT CK_Vessels_Tonnage "
            "CHECK (Tonnage > 0)");
    EXPECT_EQ(state("CK_Vessels_Tonnage"), "01");
    EXPECT_NE(f->run("UPDATE Vessels SET Tonnage = 0 WHERE VesselID = 1").error(), nullptr);
    // Switched back on without WITH CHECK it stays untrusted; WITH CHECK reads the rows.
    changed("ALTER TABLE Vessels CHECK CONSTRAINT CK_Vessels_Tonnage");
    EXPECT_EQ(state("CK_Vessels_Tonnage"), "01");
    c = f->run("ALTER TABLE Vessels WITH CHECK CHECK CONSTRAINT CK_Vessels_Tonnage");
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->number, 547);
    EXPECT_EQ(state("CK_Vessels_Tonnage"), "01");
    changed("UPDATE Vessels SET Tonnage = 5 WHERE VesselID = 4\n"
            "ALTER TABLE Vessels WITH CHECK CHECK CONSTRAINT CK_Vessels_Tonnage");
    EXPECT_EQ(state("CK_Vessels_Tonnage"), "00");
    // NOCHECK switches it off and leaves it untrusted; what it would refuse gets in.
    changed("ALTER TABLE Vessels NOCHECK CONSTRAINT CK_Vessels_Tonnage");
    EXPECT_EQ(state("CK_Vessels_Tonnage"), "11");
    changed("UPDATE Vessels SET Tonnage = -1 WHERE VesselID = 4");
    changed("ALTER TABLE Vessels CHECK CONSTRAINT CK_Vessels_Tonnage");
    EXPECT_EQ(state("CK_Vessels_Tonnage"), "01");

    // The same for a foreign key, created trusted with its table.
    EXPECT_EQ(state("FK_Inspections_Voyages"), "00");
    changed("ALTER TABLE Inspections NOCHECK CONSTRAINT ALL\n"
            "INSERT INTO Inspections VALUES (200, 99)");
    EXPECT_EQ(state("FK_Inspections_Voyages"), "11");
    changed("ALTER TABLE Inspections CHECK CONSTRAINT FK_Inspections_Voyages");
    EXPECT_EQ(state("FK_Inspections_Voyages"), "01");
    EXPECT_NE(f->run("ALTER TABLE Inspections WITH CHECK CHECK CONSTRAINT ALL").error(), nullptr);
    changed("DELETE FROM Inspections\n"
            "ALTER TABLE Inspections WITH CHECK CHECK CONSTRAINT ALL");
    EXPECT_EQ(state("FK_Inspections_Voyages"), "00");
    // A key added WITH NOCHECK over rows that break it is untrusted from the start; WITH
    // CHECK refuses the same key.
    changed("CREATE TABLE dbo.Moorings (MooringID int NOT NULL, VesselID int NULL)\n"
            "INSERT INTO Moorings VALUES (1, 77)");
    c = f->run("ALTER TABLE Moorings ADD CONSTRAINT FK_Moorings_Vessels FOREIGN KEY "
               "(VesselID) REFERENCES Vessels (VesselID)");
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->text.find("ALTER TABLE statement conflicted with") != std::string::npos,
              true)
        << c.error()->text;
    changed("ALTER TABLE Moorings WITH NOCHECK ADD CONSTRAINT FK_Moorings_Vessels FOREIGN KEY "
            "(VesselID) REFERENCES Vessels (VesselID)");
    EXPECT_EQ(state("FK_Moorings_Vessels"), "01");
}

TEST_P(Referential, UpdateAndDeleteJoinTheirFromClause) {
    // The target named by its table, joined to another: each vessel takes its depot's name.
    changed("ALTER TABLE Vessels ADD DepotName varchar(40) NULL");
    EXPECT_EQ(changed("UPDATE Vessels SET DepotName = d.DepotName\n"
                      "FROM Vessels INNER JOIN Depots d ON d.DepotCode = Vessels.DepotCode\n"
                      "WHERE d.DepotCode = 'NORD'"),
              2);
    EXPECT_EQ(list("SELECT COALESCE(DepotName, '-') FROM Vessels ORDER BY VesselID"),
              (std::vector<std::string>{"North quay", "North quay", "-"}));

    // Named by its alias; an unqualified column is the joined table's; values convert to the
    // column's type as a plain UPDATE's do.
    EXPECT_EQ(changed("UPDATE v SET Tonnage = Tonnage + 1, DepotName = UPPER(d.DepotName)\n"
                      "FROM dbo.Vessels AS v JOIN dbo.Depots AS d ON d.DepotCode = v.DepotCode"),
              3);
    EXPECT_EQ(list("SELECT CAST(Tonnage AS varchar(9)) + ' ' + DepotName FROM Vessels ORDER "
                   "BY VesselID"),
              (std::vector<std::string>{"121 NORTH QUAY", "96 NORTH QUAY", "301 SOUTH BASIN"}));
    EXPECT_EQ(changed("UPDATE y SET Departed = '1999-04-01', Cleared = 'true'\n"
                      "FROM Voyages y, Vessels v WHERE v.VesselID = y.VesselID AND "
                      "v.Tonnage > 200"),
              1);
    EXPECT_EQ(one("SELECT CONVERT(varchar(23), Departed, 121) + ' ' + CAST(Cleared AS "
                  "varchar(1)) FROM Voyages WHERE VoyageID = 12"),
              "1999-04-01 00:00:00.000 1");
    // An outer join reaches rows without a partner; a join that finds none changes nothing.
    EXPECT_EQ(changed("UPDATE v SET Tonnage = COALESCE(i.InspectionID, 0)\n"
                      "FROM Vessels v LEFT JOIN Voyages y ON y.VesselID = v.VesselID\n"
                      "LEFT JOIN Inspections i ON i.VoyageID = y.VoyageID"),
              3);
    EXPECT_EQ(one("SELECT SUM(Tonnage) FROM Vessels"), "0");
    EXPECT_EQ(changed("UPDATE Vessels SET Tonnage = 1 FROM Vessels v JOIN Depots d ON "
                      "d.DepotCode = v.DepotCode WHERE d.DepotCode = 'NONE'"),
              0);
    // The target outside the FROM clause is joined to it by the WHERE clause.
    EXPECT_EQ(changed("UPDATE Vessels SET Tonnage = 7 FROM Depots d\n"
                      "WHERE d.DepotCode = Vessels.DepotCode AND d.DepotName LIKE 'South%'"),
              1);
    EXPECT_EQ(one("SELECT VesselID FROM Vessels WHERE Tonnage = 7"), "3");

    // DELETE in its forms: by the table's name, by an alias, with and without the first FROM;
    // the referential actions go with them.
    changed("INSERT INTO Inspections VALUES (1, 12)");
    EXPECT_EQ(changed("DELETE FROM Inspections FROM Inspections\n"
                      "JOIN Voyages y ON y.VoyageID = Inspections.VoyageID WHERE y.VesselID = 3"),
              1);
    EXPECT_EQ(changed("DELETE y FROM Voyages y INNER JOIN Vessels v ON v.VesselID = y.VesselID "
                      "WHERE v.DepotCode = 'NORD'"),
              2);
    EXPECT_EQ(counts(), "2/3/1/0");
    EXPECT_EQ(changed("DELETE Vessels FROM Depots d WHERE d.DepotCode = Vessels.DepotCode AND "
                      "d.DepotName = 'South basin'"),
              1);
    EXPECT_EQ(counts(), "2/2/0/0");
    EXPECT_EQ(changed("DELETE d FROM Depots AS d LEFT JOIN Vessels v ON v.DepotCode = "
                      "d.DepotCode WHERE v.VesselID IS NULL"),
              1);
    EXPECT_EQ(counts(), "1/2/0/0");
    // A name that is neither a table nor an alias of the FROM clause.
    CaptureSink c = f->run("DELETE x FROM Vessels v WHERE v.VesselID = 1");
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->number, 208);
}

TEST_P(Referential, InsertSelectConvertsAsInsertValuesDoes) {
    changed("CREATE TABLE dbo.VoyageLog (VoyageID int NOT NULL, Departed datetime NULL, "
            "Cleared bit NULL, Note varchar(20) NULL)");
    EXPECT_EQ(changed("INSERT INTO VoyageLog (VoyageID, Departed, Cleared, Note)\n"
                      "SELECT VoyageID, '3/4/1999', 'TRUE', 'copied' FROM Voyages WHERE "
                      "VoyageID < 12"),
              2);
    EXPECT_EQ(changed("INSERT INTO VoyageLog SELECT 99, '19990305 10:00', 5, NULL"), 1);
    EXPECT_EQ(list("SELECT CONVERT(varchar(23), Departed, 121) + '|' + CAST(Cleared AS "
                   "varchar(1)) FROM VoyageLog ORDER BY VoyageID"),
              (std::vector<std::string>{"1999-03-04 00:00:00.000|1", "1999-03-04 00:00:00.000|1",
                                        "1999-03-05 10:00:00.000|1"}));
    // A date that is no date is refused as the VALUES form refuses it; nothing is written.
    CaptureSink c = f->run("INSERT INTO VoyageLog (VoyageID, Departed) SELECT VoyageID, "
                           "'not a date' FROM Voyages");
    ASSERT_NE(c.error(), nullptr);
    EXPECT_EQ(c.error()->number, 241);
    EXPECT_EQ(one("SELECT COUNT(*) FROM VoyageLog"), "3");
}

INSTANTIATE_TEST_SUITE_P(BothVersions, Referential, ::testing::Values(k2000, k2008),
                         [](const auto& info) {
                             return std::string(info.param) == k2000 ? "Sql2000" : "Sql2008R2";
                         });

} // namespace
