// What the main window does after the Options dialog reports that settings were saved: the
// owner layout and selectors, the cursor and cache notes, the constraints type, in that order,
// and the early stop when owners are switched on while no panel is loaded.
#include "core/settings.h"
#include "servers/server_list.h"
#include "sqlsim_process.h"
#include "test_env.h"
#include "ui/main/frm_main.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"

#include <QAction>
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace orv {
namespace {

using test::SqlsimOptions;
using test::SqlsimProcess;
using test::TestEnv;

const char* const kCursorNote = "Cursor location setting was changed.\r\n\r\nPlease click OK and "
                                "wait while the connections are refreshed.";
const char* const kCacheNote = "Cache Size setting was changed.\r\n\r\nPlease note that this "
                               "setting has meaning only when Cursor Location is set to "
                               "server-side.";
const char* const kConstraintsNote = "Setting 'Treat Constraints as a separate object type' "
                                     "changed.\r\n\r\nPlease click OK and wait while the display "
                                     "is refreshed.";

class OptionsReactions : public ::testing::Test {
protected:
    void SetUp() override {
        SqlsimOptions o;
        o.version = "10.50.1600.1";
        o.scriptFiles = {test::FixtureFile("dbi_inventory.sql")};
        sim = std::make_unique<SqlsimProcess>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
        ServerEntry e;
        e.Name = sim->ServerName();
        e.SQLAuth = true;
        e.LoginName = o.login;
        e.Pwd = o.password;
        e.MRUDb = "DbiShop";
        ServerAddToList(e);
        LoadSettings(LoadServerList);
    }
    void TearDown() override { ResetPanelServers(); }

    // A main window whose Options dialog applies `change` and answers `confirmed`.
    std::unique_ptr<frmMain> Open(std::function<void(ProgramSettings&)> change, bool confirmed) {
        MainWindowDialogs dialogs;
        dialogs.options = [change, confirmed](QWidget*) {
            change(Settings());
            return confirmed;
        };
        auto w = std::make_unique<frmMain>(std::move(dialogs));
        w->FormLoad();
        w->show();
        QApplication::processEvents();
        return w;
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const auto& m : env.prompter.messages)
            out.push_back(m.text);
        return out;
    }

    TestEnv env;
    std::unique_ptr<SqlsimProcess> sim;
};

TEST_F(OptionsReactions, OwnersOnWithNothingLoadedConnectsAndSkipsTheOtherChecks) {
    auto w = Open(
        [](ProgramSettings& s) {
            s.ShowOwners = true;
            s.CursorLocation = kCursorClientSide;
            s.CacheSize = 50;
            s.AnalyzeConstraints = true;
        },
        true);
    ASSERT_EQ(w->DatabaseList(0)->Count(), 0);
    w->Options();
    EXPECT_TRUE(env.prompter.messages.empty()) << Texts().front();
    // The display was initialised without the remembered database: the first one is chosen.
    EXPECT_EQ(w->DatabaseList(0)->CurrentText(), "DbiEmpty");
    EXPECT_TRUE(w->OwnerSelector(0)->isVisible());
    // The constraints refresh was skipped with the rest.
    EXPECT_EQ(w->TypeSelector()->ListCount(), 6);
}

TEST_F(OptionsReactions, AllFourReactionsRunInTheirOrderOnALoadedWindow) {
    auto w = Open(
        [](ProgramSettings& s) {
            s.ShowOwners = true;
            s.CursorLocation = kCursorClientSide;
            s.CacheSize = 50;
            s.AnalyzeConstraints = true;
        },
        true);
    QTest::keyClick(w.get(), Qt::Key_F5);
    QApplication::processEvents();
    ASSERT_EQ(w->DatabaseList(0)->CurrentText(), "DbiShop");
    env.prompter.messages.clear();

    w->Options();
    EXPECT_EQ(Texts(), (std::vector<std::string>{kCursorNote, kCacheNote, kConstraintsNote}));
    for (const auto& m : env.prompter.messages)
        EXPECT_EQ(m.icon, MsgIcon::Information);
    EXPECT_TRUE(w->OwnerSelector(0)->isVisible());
    EXPECT_GE(w->OwnerSelector(0)->ListCount(), 2); // "All Owners" and dbo at least
    EXPECT_EQ(w->OwnerSelector(0)->List(0), "All Owners");
    ASSERT_EQ(w->TypeSelector()->ListCount(), 7);
    EXPECT_EQ(w->TypeSelector()->List(6), "Constraints");
    EXPECT_TRUE(w->MenuItem("mnuComparisonAllObjects_Simple(6)")->isVisible());
    // Re-initialised without the remembered database.
    EXPECT_EQ(w->DatabaseList(0)->CurrentText(), "DbiEmpty");
}

TEST_F(OptionsReactions, CacheNoteOnlyForClientSideCursorsAndNothingWithoutConfirmation) {
    {
        // Server-side cursors: a changed cache size needs no note.
        auto w = Open([](ProgramSettings& s) { s.CacheSize = 40; }, true);
        w->Options();
        EXPECT_TRUE(env.prompter.messages.empty());
    }
    {
        Settings().CursorLocation = kCursorClientSide;
        auto w = Open([](ProgramSettings& s) { s.CacheSize = 41; }, true);
        w->Options();
        EXPECT_EQ(Texts(), (std::vector<std::string>{kCacheNote}));
    }
    env.prompter.messages.clear();
    {
        auto w =
            Open([](ProgramSettings& s) { s.AnalyzeConstraints = !s.AnalyzeConstraints; }, false);
        w->Options();
        EXPECT_TRUE(env.prompter.messages.empty());
        EXPECT_EQ(w->TypeSelector()->ListCount(), 6);
    }
}

} // namespace
} // namespace orv
