// The hostile catalog in the windows: the main window lists and shows the odd names and the
// 1 MB module exactly, and the data view shows every one of the 1,024 columns and the table
// the name really means.
#include "catalog/listing.h"
#include "catalog/schemas.h"
#include "core/settings.h"
#include "servers/server_list.h"
#include "test_hostile_catalog.h"
#include "ui/main/frm_main.h"
#include "ui/tools/frm_data_view.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"
#include "util/memory_list_control.h"
#include "util/memory_text_view.h"
#include "util/text.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace orv {
namespace {

using namespace test::hostile;

int RowOf(const ListControl& list, const std::string& name) {
    for (int r = 0; r < list.Count(); ++r)
        if (list.CellText(r, 0) == name)
            return r;
    return -1;
}

TEST(HostileCatalogWindows, MainWindowListsAndShowsTheNamesWhole) {
    HostileSim f(test::kVersion2008);
    ASSERT_SIM_STARTED(f);
    ServerEntry stored = f.server;
    stored.Version.clear();
    stored.MRUDb = kDb;
    ServerAddToList(stored);
    LoadSettings(LoadServerList);
    MainWindowDialogs dialogs;
    dialogs.showReport = [](QWidget*, const std::string&, int) {};
    frmMain w(std::move(dialogs));
    w.FormLoad();
    w.show();
    QApplication::processEvents();
    QTest::keyClick(&w, Qt::Key_F5);
    QApplication::processEvents();
    ASSERT_EQ(w.DatabaseList(0)->CurrentText(), kDb);

    QtListControl* list = w.ObjectList(0);
    std::set<std::string> shown;
    for (int r = 0; r < list->Count(); ++r)
        shown.insert(list->CellText(r, 0));
    const std::multiset<std::string> listed = ListedTables(false);
    EXPECT_EQ(shown, std::set<std::string>(listed.begin(), listed.end()));

    list->SetSelected(RowOf(*list, "📦 Parcels 🚚"), true);
    QApplication::processEvents();
    EXPECT_EQ(w.TextView(0)->Text(), "[😀 face] [nvarchar] (10) NULL\r\n[Id] [int] NOT NULL\r\n\r\n"
                                     "CONSTRAINT [Pk_%_📦] PRIMARY KEY CLUSTERED ([Id])\r\n");

    QtComboControl* type = w.TypeSelector();
    type->setCurrentIndex(type->findData(kTypeProcedure));
    QApplication::processEvents();
    const int big = RowOf(*list, BigModuleName());
    ASSERT_GE(big, 0);
    list->SetSelected(big, true);
    QApplication::processEvents();
    EXPECT_TRUE(w.TextView(0)->Text() == ReplaceAll(BigModuleText(), "\n", "\r\n"))
        << w.TextView(0)->Text().size() << " characters shown";
    EXPECT_TRUE(f.env.prompter.messages.empty());
    f.ExpectCleanLog();
}

class HostileDataView : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_SIM_STARTED(f);
        PanelServers()[0] = f.server;
        MemoryListControl list;
        MemoryTextView view;
        LoadObjects(f.server, list, view, kTypeTable, kDb, false);
        for (int r = 0; r < list.Count(); ++r) {
            int32_t id = 0;
            ParseInt32(list.CellText(r, 2), id);
            ids[list.CellText(r, 0)] = id;
        }
    }
    void TearDown() override { PanelServers()[0] = ServerEntry{}; }

    // Opens the window for a listed table, lets it load, and hands it to `inspect`.
    void Show(const std::string& table, std::function<void(frmDataView&)> inspect) {
        const std::string extended =
            GetExtendedObjectName(f.server, kDb, table, kTypeTable, ids.at(table));
        ShowAs(extended, table, ids.at(table), std::move(inspect));
    }

    // Opens the window with the names the View Data command hands it.
    void ShowAs(const std::string& extended, const std::string& table, int32_t id,
                std::function<void(frmDataView&)> inspect) {
        frmDataView w;
        bool inspected = false;
        QTimer timer;
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (inspected || !w.Activated() || w.Loading())
                return;
            inspected = true;
            inspect(w);
            w.findChild<QPushButton*>("cmdExit")->click();
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&] {
            ADD_FAILURE() << "the window did not close";
            w.done(0);
        });
        timer.start();
        guard.start(60000);
        EXPECT_TRUE(w.ShowUp(extended, table, kDb, 0, id));
        EXPECT_TRUE(inspected);
    }

    HostileSim f{test::kVersion2008};
    std::map<std::string, int32_t> ids;
};

TEST_F(HostileDataView, EveryColumnOfTheWideTableReachesTheGrid) {
    Show(WideTableName(), [](frmDataView& w) {
        DataGrid* grid = w.Grid();
        ASSERT_EQ(grid->Cols(), kWideColumns + 1);
        ASSERT_EQ(grid->Rows(), kWideRows + 1);
        for (int c = 1; c <= kWideColumns; ++c) {
            ASSERT_EQ(grid->TextMatrix(0, c), WideColumnName(c)) << c;
            for (int r = 1; r <= kWideRows; ++r)
                ASSERT_EQ(grid->TextMatrix(r, c), WideValue(r, c)) << r << "," << c;
        }
    });
    f.ExpectCleanLog();
}

TEST_F(HostileDataView, TheGridShowsTheTableTheNameMeans) {
    // [Victim] is a table of its own, not the bracketed form of Victim.
    Show("[Victim]", [](frmDataView& w) {
        ASSERT_EQ(w.Grid()->Rows(), 2);
        EXPECT_EQ(w.Grid()->TextMatrix(1, 1), "7");
    });
    Show("📦 Parcels 🚚", [](frmDataView& w) {
        ASSERT_EQ(w.Grid()->Cols(), 3);
        EXPECT_EQ(w.Grid()->TextMatrix(0, 1), "😀 face");
        EXPECT_EQ(w.Grid()->TextMatrix(1, 1), "🙂🙃");
    });
    Show("O'Brien's Orders", [](frmDataView& w) {
        ASSERT_EQ(w.Grid()->Rows(), 3);
        EXPECT_EQ(w.Grid()->TextMatrix(0, 3), "Note; DROP TABLE Victim --");
        EXPECT_EQ(w.Grid()->TextMatrix(1, 3), "it's");
        EXPECT_EQ(w.Grid()->TextMatrix(2, 3), "Null");
    });
    EXPECT_TRUE(f.env.prompter.messages.empty());
    f.ExpectCleanLog();
}

// The View Data command on tables whose names hold ".": the window is given the table's own
// name and its qualified name, read by id, and shows that table's rows.
TEST_F(HostileDataView, ViewDataOpensTheTableADottedNameMeans) {
    ServerEntry stored = f.server;
    stored.Version.clear();
    stored.MRUDb = kDb;
    ServerAddToList(stored);
    LoadSettings(LoadServerList);
    MainWindowDialogs dialogs;
    struct Request {
        std::string extended, table;
        int32_t id = 0;
    };
    std::vector<Request> requests;
    dialogs.viewData = [&](QWidget*, const std::string& extended, const std::string& table,
                           const std::string&, int, int32_t id) {
        requests.push_back({extended, table, id});
    };
    frmMain w(std::move(dialogs));
    w.FormLoad();
    w.show();
    QApplication::processEvents();
    QTest::keyClick(&w, Qt::Key_F5);
    QApplication::processEvents();
    ASSERT_EQ(w.DatabaseList(0)->CurrentText(), kDb);

    const std::string x = "x'); DROP TABLE dbo.Victim; --";
    const std::vector<std::pair<std::string, std::string>> tables = {
        {"dbo.Import.2019", "[dbo].[Import.2019]"},
        {std::string(kCyrillicSchema) + ".Import.2019",
         "[" + std::string(kCyrillicSchema) + "].[Import.2019]"},
        {x, "[dbo].[" + x + "]"}};
    QtListControl* list = w.ObjectList(0);
    for (const auto& [listed, extended] : tables) {
        const int row = RowOf(*list, listed);
        ASSERT_GE(row, 0) << listed;
        list->SetSelected(row, true);
        QApplication::processEvents();
        w.ViewData(0);
        ASSERT_FALSE(requests.empty()) << listed;
        EXPECT_EQ(requests.back().extended, extended);
        EXPECT_EQ(requests.back().table, listed == x ? x : "Import.2019");
        EXPECT_EQ(requests.back().id, ids.at(listed));
    }
    ASSERT_EQ(requests.size(), tables.size());
    w.close();

    ShowAs(requests[0].extended, requests[0].table, requests[0].id, [](frmDataView& v) {
        ASSERT_EQ(v.Grid()->Rows(), 4);
        EXPECT_EQ(v.Grid()->TextMatrix(0, 2), "Note");
        EXPECT_EQ(v.Grid()->TextMatrix(1, 1), "5");
        EXPECT_EQ(v.Grid()->TextMatrix(3, 2), "c");
    });
    ShowAs(requests[1].extended, requests[1].table, requests[1].id, [](frmDataView& v) {
        ASSERT_EQ(v.Grid()->Rows(), 2);
        EXPECT_EQ(v.Grid()->Cols(), 2);
    });
    ShowAs(requests[2].extended, requests[2].table, requests[2].id,
           [](frmDataView& v) { ASSERT_EQ(v.Grid()->Rows(), 2); });
    EXPECT_TRUE(f.env.prompter.messages.empty());
    f.ExpectCleanLog();
}

} // namespace
} // namespace orv
