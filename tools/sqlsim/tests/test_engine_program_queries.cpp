// Every catalog query text the program sends, run against the sim_catalog fixture, in the
// SQL Server 2000 mode and in the later-version mode, checked against what SQL Server answers.
#include "test_engine_support.h"

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

using Rows = std::vector<std::vector<std::string>>;

class ProgramQueries : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        f = std::make_unique<EngineFixture>(GetParam());
        f->script(fixture("sim_catalog.sql"));
        db = f->open("CatalogDb");
        ASSERT_NE(db, nullptr);
    }
    bool v8() const { return std::string(GetParam()).rfind("8.", 0) == 0; }
    ResultSet q(const std::string& sql) { return f->query(sql, db.get()); }
    // The listed columns of every row, as text.
    static Rows pick(const ResultSet& r, std::vector<std::string> names) {
        Rows out;
        for (size_t row = 0; row < r.rows.size(); ++row) {
            std::vector<std::string> line;
            for (const auto& n : names) {
                int c = r.col(n);
                EXPECT_GE(c, 0) << "no column " << n;
                line.push_back(c < 0 ? "?" : r.at(row, static_cast<size_t>(c)));
            }
            out.push_back(line);
        }
        return out;
    }
    std::string objectId(const std::string& name, const std::string& owner) {
        ResultSet r = q("SELECT so.id FROM sysobjects so INNER JOIN sysusers su ON so.uid = su.uid "
                        "WHERE so.name = '" +
                        name + "' AND su.name = '" + owner + "'");
        return r.rows.empty() ? "" : r.at(0, 0);
    }

    std::unique_ptr<EngineFixture> f;
    std::unique_ptr<Session> db;
};

std::string listing(const std::string& condition, bool ignoreSys) {
    return "select name, refdate, id from sysobjects where " + condition +
           (ignoreSys ? " and xtype <> 'S' " : "") + " order by name";
}

} // namespace

TEST_P(ProgramQueries, ServerAndDatabaseList) {
    ResultSet v = f->query("SELECT serverproperty('ProductVersion') AS ServerVer");
    EXPECT_EQ(v.at(0, 0), GetParam());
    ResultSet dbs = f->query("SELECT name FROM sysdatabases ORDER BY name");
    EXPECT_EQ(dbs.column(0),
              (std::vector<std::string>{"CatalogDb", "master", "model", "msdb", "tempdb"}));
    EXPECT_EQ(dbs.cols[0].type, SqlType::NVarChar);
    EXPECT_EQ(dbs.cols[0].size, 256);
    ResultSet top = f->query("SELECT TOP 1 name FROM sysdatabases");
    EXPECT_EQ(top.rows.size(), 1u);
    CaptureSink newer = f->run("SELECT TOP 1 name FROM sys.databases", db.get());
    if (v8()) {
        ASSERT_NE(newer.error(), nullptr);
        EXPECT_EQ(newer.error()->number, 208);
        EXPECT_EQ(newer.error()->text, "Invalid object name 'sys.databases'.");
    } else {
        EXPECT_EQ(newer.error(), nullptr) << newer.errorText();
        ASSERT_EQ(newer.sets.size(), 1u);
        EXPECT_EQ(newer.sets[0].rows.size(), 1u);
    }
}

TEST_P(ProgramQueries, ObjectListingsPerType) {
    for (bool ignore : {false, true}) {
        EXPECT_EQ(q(listing("OBJECTPROPERTY(id, N'IsProcedure') = 1", ignore)).column(0),
                  (std::vector<std::string>{"GetCustomers", "Secret"}));
        EXPECT_EQ(
            q(listing("OBJECTPROPERTY(id, N'IsInlineFunction') = 1 or OBJECTPROPERTY(id, "
                      "N'IsScalarFunction') = 1  or OBJECTPROPERTY(id, N'IsTableFunction') = 1",
                      ignore))
                .column(0),
            (std::vector<std::string>{"BigOrders", "CustomerOrders", "OrderTotal"}));
        EXPECT_EQ(q(listing("OBJECTPROPERTY(id, N'IsView') = 1", ignore)).column(0),
                  (std::vector<std::string>{"CustomerList"}));
        EXPECT_EQ(q(listing("OBJECTPROPERTY(id, N'IsTrigger') = 1", ignore)).column(0),
                  (std::vector<std::string>{"trOrdersAudit"}));
        ResultSet tables = q(listing("OBJECTPROPERTY(id, N'IsUserTable') = 1", ignore));
        EXPECT_EQ(tables.column(0), (std::vector<std::string>{"AuditLog", "Customers", "OrderLines",
                                                              "Orders", "Orders", "Shipments"}));
        ASSERT_EQ(tables.cols.size(), 3u);
        EXPECT_EQ(tables.cols[1].type, SqlType::DateTime);
        EXPECT_EQ(tables.cols[2].type, SqlType::Int);
    }
    // The system tables are there, and only the IgnoreSysObjects condition tells them apart.
    ResultSet sys = q("select name from sysobjects where xtype = 'S'");
    EXPECT_GT(sys.rows.size(), 5u);
}

TEST_P(ProgramQueries, RelationshipAndConstraintListings) {
    ResultSet rel =
        q("SELECT so.name AS name, so.refdate AS refdate, so.id AS id FROM sysreferences sr "
          "INNER JOIN sysobjects so ON sr.constid = so.id "
          "INNER JOIN sysobjects sof ON sof.id = sr.fkeyid "
          "INNER JOIN sysobjects sor ON sor.id = sr.rkeyid "
          "INNER JOIN syscolumns scf ON scf.id = sof.id AND scf.colid = sr.fkey1 "
          "INNER JOIN syscolumns scr ON scr.id = sor.id AND scr.colid = sr.rkey1 "
          "ORDER BY so.name");
    EXPECT_EQ(rel.column(0),
              (std::vector<std::string>{"FK_OrderLines_Orders", "FK_Orders_Customers",
                                        "FK_Shipments_Lines"}));
    ResultSet cons = q("SELECT DISTINCT si.name as [name], so2.refdate AS refdate, so2.id AS id  "
                       "FROM sysobjects so INNER JOIN sysindexkeys sk ON so.parent_obj = sk.id "
                       "INNER JOIN sysindexes si ON sk.id = si.id AND sk.indid = si.indid "
                       "INNER JOIN syscolumns sc ON sk.id = sc.id AND sk.colid = sc.colid "
                       "INNER JOIN sysobjects so2 ON so.parent_obj = so2.id "
                       "WHERE si.indid = 1 AND  si.name LIKE 'pk%' AND "
                       "INDEXPROPERTY(si.id, si.name, 'IsStatistics') = 0 AND "
                       "INDEXPROPERTY(si.id, si.name, 'IsHypothetical') = 0 ORDER BY si.name");
    auto names = cons.column(0);
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0].rfind("PK__Orders__", 0), 0u); // the generated name of sales.Orders
    EXPECT_EQ(names[0].size(), std::string("PK__Orders__").size() + (v8() ? 8 : 16));
    EXPECT_EQ(std::vector<std::string>(names.begin() + 1, names.end()),
              (std::vector<std::string>{"PK_Customers", "PK_OrderLines", "PK_Orders"}));
    // The id listed is the table's.
    EXPECT_EQ(cons.at(3, 2), objectId("Orders", "dbo"));
}

TEST_P(ProgramQueries, OwnersAndSchemas) {
    ResultSet owner = q("SELECT so.name AS ObjectName, su.name AS Owner "
                        "FROM sysobjects so INNER JOIN sysusers su ON so.uid = su.uid "
                        "WHERE so.name = 'Orders' AND so.xtype = 'U'");
    ResultSet all = q("SELECT DISTINCT su.name AS Owner "
                      "FROM sysobjects so INNER JOIN sysusers su ON so.uid = su.uid ");
    if (v8()) {
        // Owners are users: the sales table is owned by the user sales.
        EXPECT_EQ(pick(owner, {"Owner"}), (Rows{{"dbo"}, {"sales"}}));
        EXPECT_EQ(all.column(0), (std::vector<std::string>{"dbo", "sales"}));
    } else {
        // Schemas are not users: sysobjects.uid of sales.Orders matches no sysusers row.
        EXPECT_EQ(pick(owner, {"Owner"}), (Rows{{"dbo"}}));
        EXPECT_EQ(all.column(0), (std::vector<std::string>{"dbo", "sys"}));
    }
    EXPECT_EQ(q("SELECT ROUTINE_SCHEMA FROM INFORMATION_SCHEMA.ROUTINES WHERE ROUTINE_NAME = "
                "'GetCustomers'")
                  .column(0),
              (std::vector<std::string>{"dbo"}));
    EXPECT_EQ(
        q("SELECT TABLE_SCHEMA FROM INFORMATION_SCHEMA.VIEWS WHERE TABLE_NAME = 'CustomerList'")
            .column(0),
        (std::vector<std::string>{"dbo"}));
    ResultSet t =
        q("SELECT TABLE_SCHEMA FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = 'orders'");
    auto schemas = t.column(0);
    std::sort(schemas.begin(), schemas.end());
    EXPECT_EQ(schemas, (std::vector<std::string>{"dbo", "sales"}));
    EXPECT_EQ(t.cols[0].type, SqlType::NVarChar);

    std::string salesId = objectId("Orders", v8() ? "sales" : "dbo");
    if (!v8()) {
        ResultSet s = q("SELECT so.id FROM sysobjects so WHERE so.name = 'Orders' AND so.uid <> 1");
        salesId = s.at(0, 0);
    }
    ResultSet byOld = q("SELECT USER_NAME(uid) FROM sysobjects WHERE [id] = " + salesId);
    CaptureSink byNew = f->run("SELECT OBJECT_SCHEMA_NAME([object_id]) FROM sys.objects "
                               "WHERE [object_id] = " +
                                   salesId,
                               db.get());
    if (v8()) {
        EXPECT_EQ(byOld.at(0, 0), "sales");
        // The unknown function is a parse error, reported before the missing view.
        ASSERT_NE(byNew.error(), nullptr);
        EXPECT_EQ(byNew.error()->number, 195);
        EXPECT_EQ(byNew.error()->text, "'OBJECT_SCHEMA_NAME' is not a recognized function name.");
    } else {
        EXPECT_EQ(byOld.at(0, 0), "NULL");
        ASSERT_EQ(byNew.error(), nullptr) << byNew.errorText();
        EXPECT_EQ(byNew.sets.at(0).at(0, 0), "sales");
        EXPECT_EQ(byNew.sets.at(0).cols[0].name, "");
    }
    // The function itself does not exist before SQL Server 2005.
    CaptureSink fn = f->run("SELECT OBJECT_SCHEMA_NAME(1)", db.get());
    if (v8()) {
        ASSERT_NE(fn.error(), nullptr);
        EXPECT_EQ(fn.error()->number, 195);
    } else {
        EXPECT_EQ(fn.error(), nullptr);
    }
}

TEST_P(ProgramQueries, ObjectTextFromSyscomments) {
    ResultSet r = q("SELECT text FROM syscomments sc INNER JOIN sysobjects so ON sc.id = so.id "
                    "WHERE so.name = 'GetCustomers' ORDER BY sc.colid");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.cols[0].type, SqlType::NVarChar);
    EXPECT_EQ(r.cols[0].size, 8000);
    EXPECT_EQ(r.at(0, 0), "\n-- Lists customers of one region.\n"
                          "CREATE PROCEDURE GetCustomers @Region nvarchar(15) = NULL\nAS\n"
                          "SELECT CustomerID, CompanyName FROM Customers WHERE Region = @Region "
                          "OR @Region IS NULL\n");
    ResultSet secret =
        q("SELECT text FROM syscomments sc INNER JOIN sysobjects so ON sc.id = so.id "
          "WHERE so.name = 'Secret' ORDER BY sc.colid");
    ASSERT_EQ(secret.rows.size(), 1u);
    EXPECT_EQ(secret.at(0, 0), "NULL");
    ResultSet check = q("SELECT text FROM syscomments sc INNER JOIN sysobjects so ON sc.id = so.id "
                        "WHERE so.name = 'CK_Orders_Amount' ORDER BY sc.colid");
    EXPECT_EQ(check.column(0), (std::vector<std::string>{"(Amount >= 0)"}));
}

TEST_P(ProgramQueries, TableStructure) {
    auto structure = [&](const std::string& table, const std::string& filter) {
        return q(
            "SELECT sco.[name] AS [column], sco.autoval, sco.isnullable, "
            "sco.length, sco.prec, sco.scale, sty.[name] AS datatype, "
            "ident_seed('" +
            table + "') AS identityseed, ident_incr('" + table +
            "') AS identityincrement, "
            "isID=case when sco.status&128=0 then '' else 'Y' end "
            "FROM sysobjects sob INNER JOIN syscolumns sco ON sob.id = sco.id "
            "INNER JOIN systypes sty ON sco.xtype = sty.xtype AND sco.xusertype = sty.xusertype " +
            filter + "ORDER BY sco.colorder");
    };
    ResultSet byName = structure("Orders", "WHERE sob.name = 'Orders' AND sob.uid = 1 ");
    ResultSet r = structure("Orders", "WHERE sco.id = " + objectId("Orders", "dbo") + " ");
    EXPECT_EQ(pick(byName, {"column"}), pick(r, {"column"}));
    EXPECT_EQ(pick(r, {"column", "datatype", "length", "prec", "scale", "isnullable", "isID",
                       "identityseed", "identityincrement"}),
              (Rows{{"OrderID", "int", "4", "10", "0", "0", "Y", "1", "1"},
                    {"CustomerID", "nchar", "10", "5", "NULL", "1", "", "1", "1"},
                    {"OrderDate", "datetime", "8", "23", "3", "1", "", "1", "1"},
                    {"Freight", "money", "8", "19", "4", "1", "", "1", "1"},
                    {"Amount", "decimal", "9", "18", "2", "0", "", "1", "1"},
                    {"Notes", "ntext", "16", "0", "NULL", "1", "", "1", "1"}}));
    EXPECT_EQ(r.cols[r.col("identityseed")].type, SqlType::Numeric);
    EXPECT_EQ(r.cols[r.col("isID")].type, SqlType::VarChar);
    EXPECT_EQ(r.cols[r.col("prec")].type, SqlType::SmallInt);
    // autoval is filled for identity columns by SQL Server 2000 only.
    EXPECT_EQ(r.at(0, 1) != "NULL", v8());
    EXPECT_EQ(r.at(1, 1), "NULL");

    ResultSet c = structure("Customers", "WHERE sob.name = 'Customers' ");
    EXPECT_EQ(pick(c, {"column", "datatype", "prec", "identityseed", "isID"}),
              (Rows{{"CustomerID", "nchar", "5", "NULL", ""},
                    {"CompanyName", "nvarchar", "40", "NULL", ""},
                    {"Phone", "PhoneNumber", "24", "NULL", ""},
                    {"Region", "nvarchar", "15", "NULL", ""}}));
}

TEST_P(ProgramQueries, TableIndexesAndKeyScripts) {
    auto indexes = [&](const std::string& table, bool clusteredOnly) {
        return q("SELECT DISTINCT sc.name AS [column], si.name as [index], sk.indid, sk.keyno "
                 "FROM sysobjects so INNER JOIN sysindexkeys sk ON so.parent_obj = sk.id "
                 "INNER JOIN sysindexes si ON sk.id = si.id AND sk.indid = si.indid "
                 "INNER JOIN syscolumns sc ON sk.id = sc.id AND sk.colid = sc.colid "
                 "INNER JOIN sysobjects so2 ON so.parent_obj = so2.id "
                 "WHERE so2.name = '" +
                 table + "' AND " +
                 (clusteredOnly ? "si.indid = 1 AND " : "si.indid BETWEEN 1 AND 254 AND ") +
                 "INDEXPROPERTY(si.id, si.name, 'IsStatistics') = 0 AND "
                 "INDEXPROPERTY(si.id, si.name, 'IsHypothetical') = 0 "
                 "ORDER BY sk.indid, sk.keyno");
    };
    EXPECT_EQ(pick(indexes("Shipments", false), {"column", "index", "indid", "keyno"}),
              (Rows{{"OrderID", "IX_Shipments_Order", "1", "1"},
                    {"ShipmentID", "UQ_Shipments", "2", "1"}}));
    EXPECT_EQ(
        pick(indexes("OrderLines", true), {"column", "index", "indid", "keyno"}),
        (Rows{{"OrderID", "PK_OrderLines", "1", "1"}, {"LineNo", "PK_OrderLines", "1", "2"}}));
    // Statistics and the hypothetical index stay out; both Orders tables match the name.
    ResultSet orders = indexes("Orders", false);
    Rows dbo;
    for (const auto& row : pick(orders, {"column", "index", "indid", "keyno"}))
        if (row[1].rfind("PK__", 0) != 0)
            dbo.push_back(row);
    EXPECT_EQ(dbo, (Rows{{"OrderID", "PK_Orders", "1", "1"},
                         {"CustomerID", "IX_Orders_Customer", "2", "1"},
                         {"OrderID", "IX_Orders_Customer", "2", "2"}}));
    // A table without constraints has no child objects, so the join finds nothing.
    EXPECT_TRUE(indexes("AuditLog", false).rows.empty());

    ResultSet rel = q("SELECT so.name AS foreignkey, scf.name AS foreigncolumn, "
                      "sor.name AS referencedtable, scr.name AS referencedcolumn, "
                      "sof.name AS tablename FROM sysreferences sr "
                      "INNER JOIN sysobjects so ON sr.constid = so.id "
                      "INNER JOIN sysobjects sof ON sof.id = sr.fkeyid "
                      "INNER JOIN sysobjects sor ON sor.id = sr.rkeyid "
                      "INNER JOIN syscolumns scf ON scf.id = sof.id AND scf.colid = sr.fkey1 "
                      "INNER JOIN syscolumns scr ON scr.id = sor.id AND scr.colid = sr.rkey1 "
                      "WHERE so.name = 'FK_Shipments_Lines' ORDER BY scf.name");
    EXPECT_EQ(pick(rel, {"tablename", "foreignkey", "foreigncolumn", "referencedtable",
                         "referencedcolumn"}),
              (Rows{{"Shipments", "FK_Shipments_Lines", "OrderID", "OrderLines", "OrderID"}}));

    ResultSet pk = q("SELECT si.name as [name], so2.refdate AS refdate, so2.id AS id, sc.name AS "
                     "[column], sk.indid, so2.name as [tablename] "
                     "FROM sysobjects so INNER JOIN sysindexkeys sk ON so.parent_obj = sk.id "
                     "INNER JOIN sysindexes si ON sk.id = si.id AND sk.indid = si.indid "
                     "INNER JOIN syscolumns sc ON sk.id = sc.id AND sk.colid = sc.colid "
                     "INNER JOIN sysobjects so2 ON so.parent_obj = so2.id "
                     "WHERE si.indid = 1 AND  si.name = 'PK_OrderLines' AND "
                     "INDEXPROPERTY(si.id, si.name, 'IsStatistics') = 0 AND "
                     "INDEXPROPERTY(si.id, si.name, 'IsHypothetical') = 0 ");
    ASSERT_FALSE(pk.rows.empty());
    EXPECT_EQ(pick(pk, {"name", "column", "tablename"})[0],
              (std::vector<std::string>{"PK_OrderLines", "OrderID", "OrderLines"}));

    ResultSet extras =
        q("SELECT si.name AS [index], sk.indid, sc.[name] AS [column] FROM sysindexkeys sk "
          "INNER JOIN sysindexes si ON sk.id = si.id AND sk.indid = si.indid "
          "INNER JOIN syscolumns sc ON sk.id = sc.id AND sk.colid = sc.colid "
          "INNER JOIN sysobjects so ON so.id = sk.id "
          "WHERE so.[name] = 'CustomerList' ORDER BY sk.indid");
    EXPECT_EQ(pick(extras, {"index", "indid", "column"}),
              (Rows{{"IX_CustomerList", "1", "CustomerID"},
                    {"IX_CustomerList_Name", "2", "CompanyName"}}));
}

TEST_P(ProgramQueries, RecordCountsAndData) {
    ResultSet n = q("SELECT COUNT(*) AS RecsCount FROM [Orders]");
    EXPECT_EQ(n.at(0, 0), "3");
    EXPECT_EQ(n.cols[0].type, SqlType::Int);
    EXPECT_EQ(n.cols[0].name, "RecsCount");
    EXPECT_EQ(q("SELECT COUNT(*) AS RecsCount FROM [sales].[Orders]").at(0, 0), "0");
    CaptureSink missing = f->run("SELECT COUNT(*) AS RecsCount FROM [Shipment]", db.get());
    ASSERT_NE(missing.error(), nullptr);
    EXPECT_EQ(missing.error()->number, 208);
    EXPECT_EQ(missing.error()->text, "Invalid object name 'Shipment'.");
    ResultSet data = q("SELECT * FROM [dbo].[Customers]");
    EXPECT_EQ(pick(data, {"CustomerID", "CompanyName", "Phone"}),
              (Rows{{"ALFKI", "Alfreds", "030-0074321"}, {"BONAP", "Bon app'", "NULL"}}));
    EXPECT_EQ(data.cols[2].type, SqlType::VarChar);
    EXPECT_EQ(data.cols[2].size, 24);
    ResultSet orders = q("SELECT * FROM [Orders] ORDER BY OrderID");
    EXPECT_EQ(pick(orders, {"OrderID", "OrderDate", "Freight", "Amount"})[0],
              (std::vector<std::string>{"1", "1997-08-25 00:00:00.000", "29.4600", "814.50"}));
    // The default getdate() filled the other rows.
    EXPECT_NE(orders.at(1, 2), "NULL");
}

INSTANTIATE_TEST_SUITE_P(Versions, ProgramQueries, ::testing::Values("8.00.2039", "10.50.1600.1"),
                         [](const auto& info) {
                             return std::string(info.param).rfind("8.", 0) == 0 ? "Sql2000"
                                                                                : "Sql2008R2";
                         });
