// Complete table scripts of the hostile catalog: the extra queries carry the names whole, found
// by id or by name, and nothing of a name reaches the server as SQL.
#include "catalog/key_scripts.h"
#include "catalog/table_script.h"
#include "core/settings.h"
#include "test_hostile_catalog.h"

namespace orv {
namespace {

using namespace test::hostile;

class HostileComplete : public test::BothVersions {};

TEST_P(HostileComplete, ScriptsAndKeysKeepTheirNames) {
    HostileSim f(GetParam());
    ASSERT_SIM_STARTED(f);
    Settings().CompleteTableScripts = true;
    int32_t ignored = 0;
    EXPECT_EQ(GetTableScript(f.server, "O'Brien's Orders", kDb, false, ignored, 0, "", false),
              "[Order'Id] [int] IDENTITY(1,1) NOT NULL\r\n"
              "[Cust]Id] [int] NULL\r\n"
              "[Note; DROP TABLE Victim --] [nvarchar] (50) NULL\r\n"
              "\r\n"
              "CONSTRAINT [pk_O'Brien]--x] PRIMARY KEY CLUSTERED ([Order'Id])\r\n"
              "INDEX [ix'; DROP TABLE Victim; --] ([Cust]Id], [Order'Id])\r\n");
    EXPECT_EQ(GetTableScript(f.server, "Заказы", kDb, false, ignored, 0, "", false),
              "[Номер] [int] NOT NULL\r\n[Сумма] [decimal](10,2) NULL\r\n\r\n"
              "CLUSTERED INDEX [CL]ix/*] ([Номер])\r\n"
              "CONSTRAINT [DF_Сумма] DEFAULT (0) FOR [Сумма]\r\n");
    EXPECT_EQ(GetRelationshipText(f.server, "FK_'];DROP TABLE Victim;--", kDb),
              "TABLE O'Brien's Orders\r\nCONSTRAINT [FK_'];DROP TABLE Victim;--]\r\n"
              "FOREIGN KEY [Cust]Id]\r\nREFERENCES [顧客表] [Id]");
    EXPECT_TRUE(f.env.prompter.messages.empty());
    EXPECT_EQ(VictimRows(f.server), 3);
}

INSTANTIATE_TEST_SUITE_P(Catalog, HostileComplete,
                         ::testing::Values(std::string(test::kVersion2000),
                                           std::string(test::kVersion2008)),
                         test::VersionName);

} // namespace
} // namespace orv
