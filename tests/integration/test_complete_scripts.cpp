// Complete table scripts: the plain texts stay exactly as they were; with the setting on, a table
// script also shows defaults, CHECK and UNIQUE constraints, unique indexes and a non-clustered
// primary key, and a relationship all its column pairs, read from the catalog of either version.
#include "catalog/key_scripts.h"
#include "catalog/table_script.h"
#include "cli_runner.h"
#include "core/registry.h"
#include "core/settings.h"

namespace orv {
namespace {

using test::CatalogSim;
using test::CliResult;

const char* const kScript = R"(CREATE DATABASE Full
GO
USE Full
GO
CREATE TABLE dbo.Parent (
    A int NOT NULL,
    B int NOT NULL,
    Code varchar(10) NOT NULL,
    CONSTRAINT PK_Parent PRIMARY KEY CLUSTERED (A, B),
    CONSTRAINT UQ_Parent_Code UNIQUE (Code)
)
GO
CREATE TABLE dbo.Child (
    Id int NOT NULL,
    A int NOT NULL,
    B int NOT NULL,
    Qty int NOT NULL CONSTRAINT DF_Child_Qty DEFAULT (1),
    Note nvarchar(max) NULL,
    Stamp datetime NOT NULL,
    CONSTRAINT PK_Child PRIMARY KEY NONCLUSTERED (Id),
    CONSTRAINT CK_Child_Qty CHECK (Qty > 0),
    CONSTRAINT FK_Child_Parent FOREIGN KEY (A, B) REFERENCES dbo.Parent (A, B)
)
GO
CREATE CLUSTERED INDEX IX_Child_Stamp ON dbo.Child (Stamp)
GO
CREATE UNIQUE INDEX UX_Child_AB ON dbo.Child (A, B, Id)
GO
-- No object hangs on Loose, so only its own index rows reach its index.
CREATE TABLE dbo.Loose (Id int NOT NULL)
GO
CREATE UNIQUE CLUSTERED INDEX UX_Loose ON dbo.Loose (Id)
GO
-- Constraints without names: the server names them.
CREATE TABLE dbo.Auto (
    Id int NOT NULL PRIMARY KEY NONCLUSTERED,
    N int NOT NULL DEFAULT (0) CHECK (N >= 0),
    Code varchar(5) NULL UNIQUE,
    Stamp datetime NOT NULL CONSTRAINT DF_Auto_Stamp DEFAULT (getdate())
)
GO
)";

const char* const kChildColumns = "[Id] [int] NOT NULL\r\n"
                                  "[A] [int] NOT NULL\r\n"
                                  "[B] [int] NOT NULL\r\n"
                                  "[Qty] [int] NOT NULL\r\n"
                                  "[Note] [nvarchar] (max) NULL\r\n"
                                  "[Stamp] [datetime] NOT NULL";

std::string Script(CatalogSim& f, const std::string& table) {
    int32_t ignored = 0;
    return GetTableScript(f.server, table, "Full", false, ignored, 0, "", false);
}

using CompleteScripts = test::CliTest;

TEST_P(CompleteScripts, PlainTextsStayAsTheyWere) {
    CatalogSim f(GetParam(), {}, {kScript});
    ASSERT_SIM_STARTED(f);
    EXPECT_EQ(Script(f, "Child"), std::string(kChildColumns) +
                                      "\r\n\r\n"
                                      "CLUSTERED INDEX [IX_Child_Stamp] ([Stamp])\r\n"
                                      "INDEX [PK_Child] ([Id])\r\n"
                                      "INDEX [UX_Child_AB] ([A], [B], [Id])\r\n");
    EXPECT_EQ(Script(f, "Loose"), "[Id] [int] NOT NULL");
    EXPECT_EQ(GetRelationshipText(f.server, "FK_Child_Parent", "Full"),
              "TABLE Child\r\nCONSTRAINT [FK_Child_Parent]\r\nFOREIGN KEY [A]\r\n"
              "REFERENCES [Parent] [A]");
}

TEST_P(CompleteScripts, TablesShowTheirConstraintsAndKeysTheirPairs) {
    CatalogSim f(GetParam(), {}, {kScript});
    ASSERT_SIM_STARTED(f);
    Settings().CompleteTableScripts = true;
    EXPECT_EQ(Script(f, "Child"), std::string(kChildColumns) +
                                      "\r\n\r\n"
                                      "CLUSTERED INDEX [IX_Child_Stamp] ([Stamp])\r\n"
                                      "CONSTRAINT [PK_Child] PRIMARY KEY NONCLUSTERED ([Id])\r\n"
                                      "UNIQUE INDEX [UX_Child_AB] ([A], [B], [Id])\r\n"
                                      "CONSTRAINT [DF_Child_Qty] DEFAULT (1) FOR [Qty]\r\n"
                                      "CONSTRAINT [CK_Child_Qty] CHECK (Qty > 0)\r\n");
    EXPECT_EQ(Script(f, "Parent"), "[A] [int] NOT NULL\r\n[B] [int] NOT NULL\r\n"
                                   "[Code] [varchar] (10) NOT NULL\r\n"
                                   "\r\n"
                                   "CONSTRAINT [PK_Parent] PRIMARY KEY CLUSTERED ([A], [B])\r\n"
                                   "UNIQUE INDEX [UQ_Parent_Code] ([Code])\r\n"
                                   "CONSTRAINT [UQ_Parent_Code] UNIQUE ([Code])\r\n");
    EXPECT_EQ(Script(f, "Loose"),
              "[Id] [int] NOT NULL\r\n\r\nUNIQUE CLUSTERED INDEX [UX_Loose] ([Id])\r\n");
    EXPECT_EQ(GetRelationshipText(f.server, "FK_Child_Parent", "Full"),
              "TABLE Child\r\nCONSTRAINT [FK_Child_Parent]\r\nFOREIGN KEY [A], [B]\r\n"
              "REFERENCES [Parent] [A], [B]");
    // With indexes left out, the constraints stay.
    Settings().IgnoreIndexes = true;
    EXPECT_EQ(Script(f, "Child"), std::string(kChildColumns) +
                                      "\r\n\r\n"
                                      "CONSTRAINT [DF_Child_Qty] DEFAULT (1) FOR [Qty]\r\n"
                                      "CONSTRAINT [CK_Child_Qty] CHECK (Qty > 0)\r\n");
    EXPECT_TRUE(f.env.prompter.messages.empty());
}

// Change 4 of the demo (a raised default) is found once the setting or the switch is on.
TEST_P(CompleteScripts, DemoRaisedDefaultIsFound) {
    CatalogSim f(GetParam(), {"demo_source.sql", "demo_target.sql"});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string server = "'" + f.server.Name + "'";
    const std::string compare = "compare --marks " + server + " OrvaneDemoSource " + server +
                                " OrvaneDemoTarget tables Customers";
    const std::string source = "S\t20\tCONSTRAINT [DF_Customers_CreditLimit] DEFAULT (1000) FOR "
                               "[CreditLimit]\n";
    const std::string target = "T\t20\tCONSTRAINT [DF_Customers_CreditLimit] DEFAULT (2500) FOR "
                               "[CreditLimit]\n";

    CliResult plain = Run("--no-complete-scripts " + compare);
    EXPECT_EQ(plain.status, 1) << plain.err;
    EXPECT_EQ(plain.out.find("DF_Customers_CreditLimit"), std::string::npos) << plain.out;

    CliResult complete = Run("--complete-scripts " + compare);
    EXPECT_EQ(complete.status, 1) << complete.err;
    EXPECT_NE(complete.out.find(source), std::string::npos) << complete.out;
    EXPECT_NE(complete.out.find(target), std::string::npos) << complete.out;
    // Complete scripts are the default for new settings.
    EXPECT_EQ(Run(compare).out, complete.out);

    // The stored setting does the same for every command.
    SetRegDword(HKEY_CURRENT_USER, kKeyComparisons, "CompleteTableScripts", 1);
    std::filesystem::copy_file(f.env.RegistryFile(), f.env.PathOf("xdg/orvane/registry.reg"),
                               std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(Run(compare).out, complete.out);
    CliResult shown = Run("show " + server + " OrvaneDemoTarget relationships " +
                          "FK_StockMovements_StockLevels");
    EXPECT_NE(shown.out.find("FOREIGN KEY [WarehouseID], [ProductID]\r\n"
                             "REFERENCES [StockLevels] [WarehouseID], [ProductID]"),
              std::string::npos)
        << shown.out << shown.err;
}

// Constraints the server named are written without their names, unless asked to keep them; a
// name that only looks generated is kept on a later server, which says which names it made.
TEST_P(CompleteScripts, GeneratedNamesAreLeftOutUnlessKept) {
    CatalogSim f(GetParam(), {}, {kScript});
    ASSERT_SIM_STARTED(f);
    Settings().CompleteTableScripts = true;
    Settings().IgnoreSystemConstraintNames = true;
    const std::string columns = "[Id] [int] NOT NULL\r\n[N] [int] NOT NULL\r\n"
                                "[Code] [varchar] (5) NULL\r\n[Stamp] [datetime] NOT NULL\r\n\r\n";
    EXPECT_EQ(Script(f, "Auto"),
              columns + "PRIMARY KEY NONCLUSTERED ([Id])\r\n"
                        "UNIQUE INDEX ([Code])\r\n"
                        "DEFAULT (0) FOR [N]\r\n"
                        "CONSTRAINT [DF_Auto_Stamp] DEFAULT (getdate()) FOR [Stamp]\r\n"
                        "CHECK (N >= 0)\r\n"
                        "UNIQUE ([Code])\r\n");
    Settings().IgnoreSystemConstraintNames = false;
    const std::string kept = Script(f, "Auto");
    EXPECT_NE(kept.find("CONSTRAINT [PK__Auto__"), std::string::npos) << kept;
    EXPECT_NE(kept.find("CONSTRAINT [DF__Auto__N__"), std::string::npos) << kept;
    EXPECT_NE(kept.find("CONSTRAINT [CK__Auto__N__"), std::string::npos) << kept;
    EXPECT_NE(kept.find("CONSTRAINT [UQ__Auto__"), std::string::npos) << kept;
    EXPECT_TRUE(f.env.prompter.messages.empty());
}

// The CREATE statement of a table carries, with complete scripts, what its complete script
// shows: every index and key, CHECK constraints and defaults, each named as the script names it.
TEST_P(CompleteScripts, CreateStatementsCarryDefaultsAndConstraints) {
    CatalogSim f(GetParam(), {}, {kScript});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string server = "'" + f.server.Name + "'";
    const std::string owner = GetParam() == test::kVersion2000 ? "" : "[dbo].";
    CliResult child = Run("create --complete-scripts " + server + " Full tables Child");
    ASSERT_EQ(child.status, 0) << child.err;
    const std::string after = child.out.substr(child.out.find("CREATE TABLE"));
    EXPECT_EQ(after,
              "CREATE TABLE " + owner +
                  "[Child] (\r\n"
                  "[Id] [int] NOT NULL,\r\n[A] [int] NOT NULL,\r\n[B] [int] NOT NULL,\r\n"
                  "[Qty] [int] NOT NULL,\r\n[Note] [nvarchar] (max) NULL,\r\n"
                  "[Stamp] [datetime] NOT NULL \r\n)\r\nGO\r\n"
                  "CREATE CLUSTERED INDEX [IX_Child_Stamp] ON " +
                  owner +
                  "[Child] ([Stamp])\r\nGO\r\n"
                  "ALTER TABLE " +
                  owner +
                  "[Child] ADD CONSTRAINT [PK_Child] PRIMARY KEY NONCLUSTERED ([Id])\r\nGO\r\n"
                  "CREATE UNIQUE INDEX [UX_Child_AB] ON " +
                  owner +
                  "[Child] ([A], [B], [Id])\r\nGO\r\n"
                  "ALTER TABLE " +
                  owner +
                  "[Child] ADD CONSTRAINT [CK_Child_Qty] CHECK (Qty > 0)\r\nGO\r\n"
                  "ALTER TABLE " +
                  owner + "[Child] ADD CONSTRAINT [DF_Child_Qty] DEFAULT (1) FOR [Qty]\r\nGO");
    // Generated names are left to the server again; the statements stay runnable.
    CliResult autoTable = Run("create " + server + " Full tables Auto");
    ASSERT_EQ(autoTable.status, 0) << autoTable.err;
    for (const std::string& statement :
         {"ALTER TABLE " + owner + "[Auto] ADD PRIMARY KEY NONCLUSTERED ([Id])",
          "ALTER TABLE " + owner + "[Auto] ADD UNIQUE NONCLUSTERED ([Code])",
          "ALTER TABLE " + owner + "[Auto] ADD CHECK (N >= 0)",
          "ALTER TABLE " + owner + "[Auto] ADD DEFAULT (0) FOR [N]",
          "ALTER TABLE " + owner +
              "[Auto] ADD CONSTRAINT [DF_Auto_Stamp] DEFAULT (getdate()) FOR [Stamp]"})
        EXPECT_NE(autoTable.out.find(statement + "\r\n"), std::string::npos) << statement << "\n"
                                                                             << autoTable.out;
    CliResult kept = Run("create --ignore-system-names --no-ignore-system-names " + server +
                         " Full tables Auto");
    EXPECT_NE(kept.out.find("ADD CONSTRAINT [DF__Auto__N__"), std::string::npos) << kept.out;
    // Without complete scripts the statement is as it always was: no default, no CHECK.
    CliResult plain = Run("create --no-complete-scripts " + server + " Full tables Child");
    EXPECT_EQ(plain.out.find("DEFAULT"), std::string::npos) << plain.out;
    EXPECT_EQ(plain.out.find("ALTER TABLE"), std::string::npos) << plain.out;
}

INSTANTIATE_TEST_SUITE_P(Catalog, CompleteScripts,
                         ::testing::Values(std::string(test::kVersion2000),
                                           std::string(test::kVersion2008)),
                         test::VersionName);

} // namespace
} // namespace orv
