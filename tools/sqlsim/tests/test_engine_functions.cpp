// The catalog functions the program and the fixtures rely on, with SQL Server's answers.
#include "test_engine_support.h"

using namespace sqlsim;
using namespace sqlsim::test;

namespace {

class CatalogFunctions : public ::testing::Test {
protected:
    void SetUp() override {
        f.script(fixture("sim_catalog.sql"));
        s = f.open("CatalogDb");
    }
    std::string one(const std::string& expr) {
        ResultSet r = f.query("SELECT " + expr, s.get());
        return r.rows.empty() ? "<none>" : r.at(0, 0);
    }
    EngineFixture f;
    std::unique_ptr<Session> s;
};

} // namespace

TEST_F(CatalogFunctions, ObjectPropertyClassifiesEveryKind) {
    struct Case {
        const char* object;
        const char* yes;
    };
    const Case cases[] = {{"GetCustomers", "IsProcedure"},
                          {"OrderTotal", "IsScalarFunction"},
                          {"CustomerOrders", "IsInlineFunction"},
                          {"BigOrders", "IsTableFunction"},
                          {"CustomerList", "IsView"},
                          {"trOrdersAudit", "IsTrigger"},
                          {"Customers", "IsUserTable"},
                          {"FK_Orders_Customers", "IsForeignKey"},
                          {"PK_Orders", "IsPrimaryKey"},
                          {"CK_Orders_Amount", "IsCheckCnst"},
                          {"UQ_Shipments", "IsUniqueCnst"},
                          {"DF_Orders_OrderDate", "IsDefaultCnst"}};
    const char* props[] = {"IsProcedure",     "IsScalarFunction", "IsInlineFunction",
                           "IsTableFunction", "IsView",           "IsTrigger",
                           "IsUserTable",     "IsForeignKey",     "IsPrimaryKey",
                           "IsCheckCnst",     "IsUniqueCnst",     "IsDefaultCnst"};
    for (const auto& c : cases)
        for (const char* p : props)
            EXPECT_EQ(
                one("OBJECTPROPERTY(OBJECT_ID('" + std::string(c.object) + "'), N'" + p + "')"),
                std::string(p) == c.yes ? "1" : "0")
                << c.object << " " << p;
    EXPECT_EQ(one("OBJECTPROPERTY(OBJECT_ID('sysfiles1'), 'IsSystemTable')"), "1");
    EXPECT_EQ(one("OBJECTPROPERTY(OBJECT_ID('sysfiles1'), 'IsUserTable')"), "0");
    EXPECT_EQ(one("OBJECTPROPERTY(OBJECT_ID('sysfiles1'), 'IsTable')"), "1");
    EXPECT_EQ(one("OBJECTPROPERTY(OBJECT_ID('Orders'), 'TableHasPrimaryKey')"), "1");
    EXPECT_EQ(one("OBJECTPROPERTY(OBJECT_ID('AuditLog'), 'TableHasClustIndex')"), "0");
    EXPECT_EQ(one("OBJECTPROPERTY(123456, 'IsView')"), "NULL");
    EXPECT_EQ(one("OBJECTPROPERTY(NULL, 'IsView')"), "NULL");
}

TEST_F(CatalogFunctions, ObjectPropertyOverAWholeListingAnswersAsOneAtATime) {
    // A statement asking about every object reads the catalog once; its answers must be the
    // ones each object gets on its own, and the next statement must see objects made since.
    const std::string listing = "SELECT id, OBJECTPROPERTY(id, N'IsProcedure'), "
                                "OBJECTPROPERTY(id, 'IsUserTable'), OBJECTPROPERTY(id, 'OwnerId') "
                                "FROM sysobjects ORDER BY id";
    auto check = [&](size_t atLeast) {
        ResultSet all = f.query(listing, s.get());
        ASSERT_GT(all.rows.size(), atLeast);
        for (size_t row = 0; row < all.rows.size(); ++row) {
            const std::string id = all.at(row, 0);
            EXPECT_EQ(all.at(row, 1), one("OBJECTPROPERTY(" + id + ", N'IsProcedure')")) << id;
            EXPECT_EQ(all.at(row, 2), one("OBJECTPROPERTY(" + id + ", 'IsUserTable')")) << id;
            EXPECT_EQ(all.at(row, 3), one("OBJECTPROPERTY(" + id + ", 'OwnerId')")) << id;
        }
    };
    check(40);
    const std::string before = one("COUNT(*) FROM sysobjects WHERE OBJECTPROPERTY(id, "
                                   "'IsProcedure') = 1");
    ASSERT_EQ(f.run("CREATE PROCEDURE dbo.MadeLater AS SELECT 1", s.get()).error(), nullptr);
    EXPECT_EQ(one("COUNT(*) FROM sysobjects WHERE OBJECTPROPERTY(id, 'IsProcedure') = 1"),
              std::to_string(std::stoi(before) + 1));
    check(40);
    // A property that is no constant of the statement is looked up row by row, as before.
    EXPECT_EQ(one("COUNT(*) FROM sysobjects WHERE OBJECTPROPERTY(id, CASE WHEN id % 2 = 0 "
                  "THEN 'IsProcedure' ELSE 'IsProcedure' END) = 1"),
              std::to_string(std::stoi(before) + 1));
}

TEST_F(CatalogFunctions, NamesIdsAndOwners) {
    std::string orders = one("id FROM sysobjects WHERE name = 'Orders' AND uid = 1");
    EXPECT_EQ(one("OBJECT_ID('Orders')"), orders);
    EXPECT_EQ(one("OBJECT_ID('[dbo].[Orders]')"), orders);
    EXPECT_EQ(one("OBJECT_ID('dbo.orders')"), orders);
    EXPECT_EQ(one("OBJECT_ID('CatalogDb.dbo.Orders')"), orders);
    EXPECT_NE(one("OBJECT_ID('sales.Orders')"), orders);
    EXPECT_NE(one("OBJECT_ID('sales.Orders')"), "NULL");
    EXPECT_EQ(one("OBJECT_ID('nope')"), "NULL");
    EXPECT_EQ(one("OBJECT_NAME(" + orders + ")"), "Orders");
    EXPECT_EQ(one("OBJECT_SCHEMA_NAME(OBJECT_ID('sales.Orders'))"), "sales");
    EXPECT_EQ(one("SCHEMA_NAME(1)"), "dbo");
    EXPECT_EQ(one("SCHEMA_ID('sales') > 4"), "1");
    EXPECT_EQ(one("USER_NAME(1)"), "dbo");
    EXPECT_EQ(one("USER_NAME()"), "dbo");
    EXPECT_EQ(one("SUSER_SNAME()"), "sa");
    EXPECT_EQ(one("ident_seed('sales.Orders')"), "NULL");
    EXPECT_EQ(one("ident_current('Orders')"), "3");
    EXPECT_EQ(one("COLUMNPROPERTY(" + orders + ", 'OrderID', 'IsIdentity')"), "1");
    EXPECT_EQ(one("COLUMNPROPERTY(" + orders + ", 'Amount', 'Scale')"), "2");
    ResultSet types =
        f.query("SELECT OBJECT_NAME(" + orders + ") AS n, OBJECT_ID('Orders') AS i", s.get());
    EXPECT_EQ(types.cols[0].type, SqlType::NVarChar);
    EXPECT_EQ(types.cols[0].size, 256);
    EXPECT_EQ(types.cols[1].type, SqlType::Int);
}

TEST_F(CatalogFunctions, IndexAndServerProperties) {
    std::string orders = one("OBJECT_ID('Orders')");
    EXPECT_EQ(one("INDEXPROPERTY(" + orders + ", 'PK_Orders', 'IsClustered')"), "1");
    EXPECT_EQ(one("INDEXPROPERTY(" + orders + ", 'IX_Orders_Customer', 'IsClustered')"), "0");
    EXPECT_EQ(one("INDEXPROPERTY(" + orders + ", 'ST_Orders_Date', 'IsStatistics')"), "1");
    EXPECT_EQ(one("INDEXPROPERTY(" + orders + ", 'IX_Orders_Hypo', 'IsHypothetical')"), "1");
    EXPECT_EQ(one("INDEXPROPERTY(" + orders + ", 'IX_Orders_Hypo', 'IsStatistics')"), "0");
    EXPECT_EQ(one("INDEXPROPERTY(" + orders + ", 'IX_Orders_Customer', 'IndexID')"), "2");
    EXPECT_EQ(one("INDEXPROPERTY(" + orders + ", 'nope', 'IsClustered')"), "NULL");
    EXPECT_EQ(one("serverproperty('ProductLevel')"), "RTM");
    EXPECT_EQ(one("serverproperty('Collation')"), "SQL_Latin1_General_CP1_CI_AS");
    EXPECT_EQ(one("serverproperty('NoSuchThing')"), "NULL");
    EXPECT_EQ(one("DATABASEPROPERTYEX('CatalogDb', 'Status')"), "ONLINE");
    EXPECT_EQ(one("DATABASEPROPERTYEX('Missing', 'Status')"), "NULL");
    ResultSet v = f.query("SELECT serverproperty('ProductVersion') AS ServerVer", s.get());
    EXPECT_EQ(v.cols[0].type, SqlType::SqlVariant);
    // Fixed-width catalog columns come back padded, as char(2) is.
    ResultSet x = f.query("SELECT xtype FROM sysobjects WHERE name = 'Customers'", s.get());
    EXPECT_EQ(x.at(0, 0), "U ");
    EXPECT_EQ(x.cols[0].type, SqlType::Char);
    EXPECT_EQ(x.cols[0].size, 2);
}

// OBJECT_ID, ident_seed and ident_incr keep what they found while the database stays as it
// was; every change since, by this session (committed, rolled back or still open) or by
// another one, or a change of database, shows in the next answer.
TEST(EngineFunctions, CatalogLookupsSeeEveryChangeSinceTheirLastAnswer) {
    EngineFixture f(k2008);
    f.script("CREATE DATABASE Memo\nGO\nCREATE DATABASE Other\nGO\n"
             "USE Other\nGO\nCREATE TABLE M (Id int IDENTITY(50,5) NOT NULL)\nGO\n");
    std::unique_ptr<Session> other = f.open("Memo");
    f.run("USE Memo");
    const std::string ask = "SELECT CASE WHEN OBJECT_ID('M') IS NULL THEN 'none' ELSE 'M' END, "
                            "ident_seed('M'), ident_incr('dbo.M')";
    struct Step {
        const char* what;
        std::string sql;
        bool byOther;
        std::vector<std::string> want;
    };
    const std::vector<Step> steps = {
        {"nothing yet", "", false, {"none", "NULL", "NULL"}},
        {"created here",
         "CREATE TABLE M (Id int IDENTITY(10,2) NOT NULL)",
         false,
         {"M", "10", "2"}},
        {"asked again", "", false, {"M", "10", "2"}},
        {"recreated by another session",
         "DROP TABLE M\nCREATE TABLE M (Id int IDENTITY(20,3) NOT NULL)",
         true,
         {"M", "20", "3"}},
        {"dropped inside a transaction",
         "BEGIN TRAN\nDROP TABLE M",
         false,
         {"none", "NULL", "NULL"}},
        {"rolled back", "ROLLBACK", false, {"M", "20", "3"}},
        {"rows inserted", "INSERT INTO M DEFAULT VALUES", false, {"M", "20", "3"}},
        {"another database", "USE Other", false, {"M", "50", "5"}},
        {"back again", "USE Memo", false, {"M", "20", "3"}},
        {"dropped by another session", "DROP TABLE M", true, {"none", "NULL", "NULL"}},
    };
    for (const Step& step : steps) {
        if (!step.sql.empty()) {
            CaptureSink sink = f.run(step.sql, step.byOther ? other.get() : nullptr);
            ASSERT_EQ(sink.error(), nullptr) << step.what << ": " << sink.errorText();
        }
        ResultSet r = f.query(ask);
        ASSERT_EQ(r.rows.size(), 1u) << step.what;
        EXPECT_EQ((std::vector<std::string>{r.at(0, 0), r.at(0, 1), r.at(0, 2)}), step.want)
            << step.what;
    }
}
