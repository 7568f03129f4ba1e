// Browsing while the server has gone away: clicking an object tells the command layer's
// connection message once, opens no error report, leaves both panels as they were, and the
// next click after the server is back shows the object.
#include "catalog/object_types.h"
#include "catalog/table_script.h"
#include "core/error_report.h"
#include "core/program_info.h"
#include "core/registry.h"
#include "core/settings.h"
#include "servers/exec_ado_cmd.h"
#include "servers/odbc_connection.h"
#include "servers/odbc_error.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/main/frm_main.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"
#include "util/text.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>

namespace orv {
namespace {

using test::SqlsimOptions;
using test::SqlsimProcess;

// With ORV_SHOT_DIR set, the whole screen is kept as a picture there (run under Xvfb to see the
// windows as a person does).
void Shot(const char* name) {
    if (const char* dir = std::getenv("ORV_SHOT_DIR")) {
        QApplication::processEvents();
        QApplication::primaryScreen()->grabWindow(0).save(QString(dir) + "/" + name + ".png");
    }
}

int RowOf(QtListControl* list, const std::string& name) {
    for (int r = 0; r < list->Count(); ++r)
        if (list->CellText(r, 0) == name)
            return r;
    return -1;
}

void Click(QtListControl* list, int row) {
    ASSERT_GE(row, 0);
    const QRect rect = list->visualItemRect(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QApplication::processEvents();
}

// The description of the last failed command, as the log has it ("Error N: description").
std::string LastLoggedError(const test::TestEnv& env, int32_t number) {
    const std::string head = "Error " + std::to_string(number) + ": ";
    std::string description;
    for (const std::string& line : env.LogTexts())
        if (line.rfind(head, 0) == 0)
            description = line.substr(head.size());
    return description;
}

struct PanelState {
    int currentRow;
    bool marked;
    std::string text;
};

PanelState StateOf(frmMain& w, int panel) {
    QtListControl* list = w.ObjectList(panel);
    return {list->CurrentRow(), list->CurrentRow() >= 0 && list->Selected(list->CurrentRow()),
            w.TextView(panel)->Text()};
}

void ExpectSame(const PanelState& before, const PanelState& now, const char* panel) {
    EXPECT_EQ(now.currentRow, before.currentRow) << panel;
    EXPECT_EQ(now.marked, before.marked) << panel;
    EXPECT_EQ(now.text, before.text) << panel;
}

TEST(BrowseServerGone, OneConnectionMessageNoReportPanelsKeptAndTheNextClickWorks) {
    test::TestEnv env;
    SqlsimOptions o;
    o.version = "10.50.1600.1";
    o.scriptFiles = {test::FixtureFile("mw_pair.sql")};
    SqlsimProcess sim(o);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    ServerEntry e;
    e.Name = sim.ServerName();
    e.SQLAuth = true;
    e.LoginName = o.login;
    e.Pwd = o.password;
    e.MRUDb = "MwSource";
    ServerAddToList(e);
    SetRegDword(HKEY_CURRENT_USER, kKeyMav, "AutoSelTargetObj", 1);
    std::vector<ErrorReport> reports;
    SetErrorReportHandler([&](const ErrorReport& r) { reports.push_back(r); });

    LoadSettings(LoadServerList);
    frmMain w;
    w.FormLoad();
    w.show();
    QApplication::processEvents();
    w.Connect();
    w.ServerSelector(1)->setCurrentIndex(-1);
    w.ServerSelector(1)->setCurrentIndex(0);
    QApplication::processEvents();
    QtListControl* source = w.ObjectList(0);
    ASSERT_EQ(source->Count(), 2); // Customers, Orders
    Click(source, RowOf(source, "Customers"));
    ASSERT_NE(w.TextView(0)->Text().find("[CustomerID]"), std::string::npos);
    ASSERT_NE(w.TextView(1)->Text().find("[CustomerID]"), std::string::npos);
    ASSERT_TRUE(env.prompter.messages.empty());
    const PanelState before[2] = {StateOf(w, 0), StateOf(w, 1)};
    int32_t ordersId = 0;
    ASSERT_TRUE(ParseInt32(source->CellText(RowOf(source, "Orders"), 2), ordersId));

    sim.Stop();
    Click(source, RowOf(source, "Orders"));

    ASSERT_EQ(env.prompter.messages.size(), 1u);
    const ShownMessage& m = env.prompter.messages[0];
    EXPECT_EQ(m.icon, MsgIcon::Warning);
    EXPECT_EQ(m.title, kExecutableName);
    const std::string description = LastLoggedError(env, kErrFail);
    EXPECT_FALSE(description.empty());
    EXPECT_EQ(m.text, ConnectionFailedText(kErrFail, description,
                                           TableColumnsQuery("Orders", "Orders", ordersId)));
    EXPECT_TRUE(reports.empty()) << ErrorReportText(reports.front());
    ExpectSame(before[0], StateOf(w, 0), "Source");
    ExpectSame(before[1], StateOf(w, 1), "Target");
    EXPECT_FALSE(w.Busy());
    Shot("browse_server_gone");

    // The server is back on its port: the same click now shows the table in both panels.
    ASSERT_TRUE(sim.Restart(error)) << error;
    Click(source, RowOf(source, "Orders"));
    EXPECT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(source->CurrentText(), "Orders");
    EXPECT_NE(w.TextView(0)->Text().find("[OrderID]"), std::string::npos) << w.TextView(0)->Text();
    EXPECT_EQ(w.ObjectList(1)->CurrentText(), "Orders");
    EXPECT_NE(w.TextView(1)->Text().find("[OrderID]"), std::string::npos);

    SetErrorReportHandler(nullptr);
    DropIdleConnections();
    ResetPanelServers();
}

} // namespace
} // namespace orv
