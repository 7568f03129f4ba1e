// Columns ticked in the Ignore Columns dialog are left out where the lists say: Compare Selected
// Objects (F7), Compare All Objects (F8) and Compare Data (F9) read the lists the dialog wrote,
// each through the one section name of a table, and a list written under the earlier naming
// (server.database.table) still counts.
#include "catalog/ignored_columns.h"
#include "core/settings.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/main/frm_main.h"
#include "ui/tools/frm_ignore_columns.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace orv {
namespace {

// The same table in two databases: Name is declared wider in the Target, UnitPrice of one row
// differs. Nothing else differs.
const char* const kScript =
    "CREATE DATABASE IcSource\nGO\nUSE IcSource\nGO\n"
    "CREATE TABLE dbo.Products (Id int NOT NULL, Name varchar(40) NULL, UnitPrice money NULL, "
    "CONSTRAINT PK_Products PRIMARY KEY (Id))\nGO\n"
    "INSERT INTO dbo.Products VALUES (1, 'Tea', 2.50)\n"
    "INSERT INTO dbo.Products VALUES (2, 'Coffee', 3.00)\nGO\n"
    "CREATE DATABASE IcTarget\nGO\nUSE IcTarget\nGO\n"
    "CREATE TABLE dbo.Products (Id int NOT NULL, Name varchar(50) NULL, UnitPrice money NULL, "
    "CONSTRAINT PK_Products PRIMARY KEY (Id))\nGO\n"
    "INSERT INTO dbo.Products VALUES (1, 'Tea', 2.75)\n"
    "INSERT INTO dbo.Products VALUES (2, 'Coffee', 3.00)\nGO\n";

class IgnoredColumnsFlow : public ::testing::Test {
protected:
    void SetUp() override {
        test::SqlsimOptions o;
        o.version = "10.50.1600.1";
        o.scriptTexts = {kScript};
        sim = std::make_unique<test::SqlsimProcess>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
        targetServer = "localhost," + std::to_string(sim->Port());
        for (const auto& [name, db] :
             {std::pair{sim->ServerName(), "IcSource"}, std::pair{targetServer, "IcTarget"}}) {
            ServerEntry e;
            e.Name = name;
            e.SQLAuth = true;
            e.LoginName = o.login;
            e.Pwd = o.password;
            e.MRUDb = db;
            ServerAddToList(e);
        }
        MainWindowDialogs dialogs;
        dialogs.addServer = [](QWidget*) { return false; };
        dialogs.showComparison = [this](QWidget*, const ComparisonReportRequest&) {
            verdicts.push_back(gstrReportText);
        };
        // The real progress windows and engines run; only the results are caught.
        dialogs.showDbCompareResults = [this](QWidget*, DbCompareResultsPtr r, const std::string&,
                                              const DbCompareRequest&) { structure = r; };
        dialogs.showDataCompareResults = [this](QWidget*, DataCompareResultsPtr r,
                                                const std::string&,
                                                const DataCompareRequest&) { data = r; };
        LoadSettings(LoadServerList);
        w = std::make_unique<frmMain>(std::move(dialogs));
        w->FormLoad();
        w->show();
        QApplication::processEvents();
        QTest::keyClick(w.get(), Qt::Key_F5);
        QApplication::processEvents();
        w->ServerSelector(1)->setCurrentIndex(1);
        QApplication::processEvents();
        ASSERT_EQ(w->DatabaseList(0)->CurrentText(), "IcSource");
        ASSERT_EQ(w->DatabaseList(1)->CurrentText(), "IcTarget");
        for (int panel = 0; panel < 2; ++panel) {
            QtListControl* list = w->ObjectList(panel);
            for (int r = 0; r < list->Count(); ++r)
                if (list->CellText(r, 0) == "Products")
                    list->SetCurrentRow(r);
            ASSERT_EQ(list->CellText(list->CurrentRow(), 0), "Products");
        }
        QApplication::processEvents();
    }
    void TearDown() override {
        w.reset();
        PanelServers()[0] = ServerEntry{};
        PanelServers()[1] = ServerEntry{};
    }

    // Opens the panel's Ignore Columns dialog and runs `use` on it while it is shown.
    void InDialog(int panel, std::function<void(frmIgnoreColumns*)> use) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<frmIgnoreColumns*>(QApplication::activeModalWidget());
            ran = d != nullptr;
            if (d)
                use(d);
        });
        w->IgnoreColumns(panel);
        EXPECT_TRUE(ran) << "no Ignore Columns dialog opened";
    }

    // Ticks a column's box as a person does: the cell made current, then the space bar.
    static void Tick(frmIgnoreColumns* d, const std::string& column, int32_t kind) {
        QTableWidget* g = d->Grid();
        const int c = kind == kIgnoredForStructure ? 1 : kind == kIgnoredForData ? 2 : 3;
        for (int r = 0; r < g->rowCount(); ++r)
            if (g->item(r, 0)->data(Qt::UserRole).toString().toStdString() == column) {
                g->setFocus();
                g->setCurrentCell(r, c);
                QTest::keyClick(g, Qt::Key_Space);
                EXPECT_EQ(g->item(r, c)->checkState(), Qt::Checked) << column;
                return;
            }
        ADD_FAILURE() << "no row " << column;
    }

    void Press(Qt::Key key) {
        w->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), key);
        QApplication::processEvents();
    }

    const PairVerdict* ProductsVerdict() const {
        if (!structure)
            return nullptr;
        for (const PairVerdict& p : structure->Pairs)
            if (p.Type == kTypeTable && p.Source.Name == "Products")
                return &p;
        return nullptr;
    }

    test::TestEnv env;
    std::unique_ptr<test::SqlsimProcess> sim;
    std::string targetServer;
    std::unique_ptr<frmMain> w;
    std::vector<std::string> verdicts;
    DbCompareResultsPtr structure;
    DataCompareResultsPtr data;
};

TEST_F(IgnoredColumnsFlow, ColumnsTickedInTheDialogAreLeftOutOfF7F8AndF9) {
    // Before anything is ticked, Name and UnitPrice differ.
    Press(Qt::Key_F7);
    ASSERT_EQ(verdicts.size(), 1u);
    EXPECT_NE(verdicts[0].find("The selected tables are different."), std::string::npos);

    // The Target's list was written before lists carried the schema.
    ASSERT_TRUE(test::WriteTextFile(IgnoredColumnsFile(kIgnoredForStructure),
                                    "[" + targetServer + ".IcTarget.Products]\r\nCol1=Name\r\n"));
    InDialog(0, [&](frmIgnoreColumns* d) {
        EXPECT_EQ(d->findChild<QLabel*>("lblTable")->text().toStdString(),
                  "Table: " + sim->ServerName() + ".IcSource.dbo.Products");
        Tick(d, "Name", kIgnoredForStructure);
        Tick(d, "UnitPrice", kIgnoredForData);
        d->findChild<QPushButton*>("cmdOK")->click();
    });
    // The Target's dialog shows the earlier list ticked.
    InDialog(1, [&](frmIgnoreColumns* d) {
        EXPECT_EQ(d->Ticked(kIgnoredForStructure), std::vector<std::string>{"Name"});
        d->reject();
    });

    Press(Qt::Key_F7);
    ASSERT_EQ(verdicts.size(), 2u);
    EXPECT_NE(verdicts[1].find("The selected tables are identical."), std::string::npos)
        << verdicts[1];
    EXPECT_NE(verdicts[1].find("some columns were ignored"), std::string::npos) << verdicts[1];

    Press(Qt::Key_F8);
    ASSERT_NE(structure, nullptr);
    const PairVerdict* products = ProductsVerdict();
    ASSERT_NE(products, nullptr);
    EXPECT_EQ(products->Status, PairStatus::Identical);
    EXPECT_TRUE(products->ColumnsIgnored);

    Press(Qt::Key_F9);
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(data->Tables.size(), 1u);
    const DataTableResult& t = data->Tables[0];
    EXPECT_EQ(t.IgnoredColumns, std::vector<std::string>{"UnitPrice"});
    EXPECT_EQ(t.Status, DataPairStatus::Identical) << t.Reason;
    EXPECT_EQ(t.Identical, 2);
    EXPECT_EQ(t.Different, 0);
}

} // namespace
} // namespace orv
