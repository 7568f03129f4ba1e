// orvane-cli run as a separate process against the simulator, with its own registry store.
#include "cli_runner.h"
#include "core/registry.h"
#include "servers/server_list.h"
#include "util/text.h"

#include <cstdio>
#include <filesystem>
#include <sys/wait.h>

namespace orv {
namespace {

using test::CatalogSim;
using test::CliResult;
using test::kVersion2000;
using test::kVersion2008;

using Cli = test::CliTest;

std::string Q(const std::string& s) {
    return "'" + s + "'";
}

TEST_P(Cli, ListShowCreateCount) {
    CatalogSim f(GetParam(), {"cat_catalog.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string server = Q(f.server.Name);

    CliResult list = Run("list " + server + " CatDb views");
    ASSERT_EQ(list.status, 0) << list.err;
    ASSERT_EQ(list.out.back(), '\n');
    const auto cells = Split(list.out.substr(0, list.out.size() - 1), "\t");
    ASSERT_EQ(cells.size(), 3u) << list.out;
    EXPECT_EQ(cells[0], "vOrders");
    EXPECT_EQ(cells[1], ToUpperAscii(cells[1]));
    int32_t id = 0;
    EXPECT_TRUE(ParseInt32(cells[2], id));
    EXPECT_EQ(Run("list " + server + " CatDb 50").out.substr(0, 5), "Bare\t");

    CliResult show = Run("show " + server + " CatDb views vOrders");
    EXPECT_EQ(show.status, 0) << show.err;
    EXPECT_EQ(show.out,
              "CREATE VIEW dbo.vOrders\r\nAS\r\n\r\n\r\nSELECT OrderID, Amount FROM dbo.Orders");

    // The plain table script, and the complete one that new settings show.
    CliResult table = Run("--no-complete-scripts show " + server + " CatDb tables Logs");
    EXPECT_EQ(table.out, "[LoggedAt] [datetime] NOT NULL\r\n[Line] [nvarchar] (100) NULL\r\n\r\n"
                         "CLUSTERED INDEX [IX_C] ([LoggedAt])\r\n");
    EXPECT_EQ(Run("show " + server + " CatDb tables Logs").out,
              table.out + "CONSTRAINT [DF_Logs_LoggedAt] DEFAULT (getdate()) FOR [LoggedAt]\r\n");

    CliResult create = Run("create " + server + " CatDb procedures LongReport");
    EXPECT_EQ(create.status, 0) << create.err;
    EXPECT_EQ(create.out.rfind("USE [CatDb]\r\nGO\r\n/****** Object: Procedure ", 0), 0u);
    EXPECT_EQ(create.out.substr(create.out.size() - 34), "SELECT COUNT(*) FROM dbo.Orders \r\n");

    CliResult count = Run("count " + server + " CatDb Customers");
    EXPECT_EQ(count.status, 0) << count.err;
    EXPECT_EQ(count.out, "1\n");
}

TEST_P(Cli, NotFoundAndErrors) {
    CatalogSim f(GetParam(), {"cat_catalog.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string server = Q(f.server.Name);
    CliResult missing = Run("show " + server + " CatDb views NoSuchView");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("NoSuchView"), std::string::npos);
    EXPECT_EQ(Run("count " + server + " CatDb NoSuchTable").status, 1);

    CliResult noServer = Run("list nowhere CatDb tables");
    EXPECT_EQ(noServer.status, 2);
    EXPECT_NE(noServer.err.find("Server 'nowhere' not found."), std::string::npos);

    CliResult badDb = Run("list " + server + " NoSuchDb tables");
    EXPECT_EQ(badDb.status, 2);
    EXPECT_NE(badDb.err.find("Server connection failed."), std::string::npos);
    EXPECT_EQ(badDb.out, "");

    EXPECT_EQ(Run("list " + server + " CatDb gadgets").status, 2);
    CliResult help = Run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("list   SERVER DATABASE TYPE"), std::string::npos);
}

TEST_P(Cli, HostileNamesLeaveEveryTableInPlace) {
    CatalogSim f(GetParam(), {"cat_injection.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string server = Q(f.server.Name);
    // The shell gets the names in double quotes; none holds a double quote or a dollar.
    CliResult count = Run("count " + server + " CatInj \"a]; DROP TABLE t; --\"");
    EXPECT_EQ(count.status, 0) << count.err;
    EXPECT_EQ(count.out, "2\n");
    CliResult show = Run("show " + server + " CatInj tables \"x'); DROP TABLE t; --\"");
    EXPECT_EQ(show.status, 0) << show.err;
    // The name reaches the seed function as one whole part, so the seed is found.
    EXPECT_EQ(show.out, "[Id] [int] IDENTITY(1,1) NOT NULL\r\n[Name] [varchar] (10) NULL");
    EXPECT_EQ(Run("create " + server + " CatInj tables \"a]; DROP TABLE t; --\"").status, 0);
    CliResult t = Run("count " + server + " CatInj t");
    EXPECT_EQ(t.out, "1\n") << t.err;
    CliResult list = Run("list " + server + " CatInj tables");
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 3);
}

INSTANTIATE_TEST_SUITE_P(Catalog, Cli,
                         ::testing::Values(std::string(kVersion2000), std::string(kVersion2008)),
                         test::VersionName);

} // namespace
} // namespace orv
