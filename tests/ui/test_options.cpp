// The Options dialog: its pages, loading, the two number checks, and what OK, Apply and Cancel
// write to the registry and to the program-wide settings.
#include "core/registry.h"
#include "core/settings.h"
#include "test_env.h"
#include "ui/settings/frm_options.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <optional>
#include <tuple>

namespace orv {
namespace {

using test::TestEnv;

std::optional<int32_t> Stored(const char* key, const char* name) {
    return QueryRegDword(HKEY_CURRENT_USER, key, name);
}

template <class T> T* Child(frmOptions& d, const char* name) {
    T* w = d.findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

// Every check box with its registry key and value name.
struct CheckSetting {
    const char* box;
    const char* key;
    const char* value;
};
const CheckSetting kChecks[] = {
    {"chkAutoConnect", kKeyServers, "AutoConnect"},
    {"chkShowOwners", kKeyServers, "ShowOwners"},
    {"chkCaseSensitive", kKeyComparisons, "CaseSensitive"},
    {"chkIgnoreWhitespaces", kKeyComparisons, "IgnoreWhitespace"},
    {"chkIgnoreComments", kKeyComparisons, "IgnoreComments"},
    {"chkIgnoreIndexes", kKeyComparisons, "IgnoreIndexes"},
    {"chkIgnoreSysObjects", kKeyComparisons, "IgnoreSysObjects"},
    {"chkDataComp", kKeyComparisons, "ShowDataCompOpt"},
    {"chkPreserveDbSel", kKeyMav, "PreserveDbSel"},
    {"chkIgnoreColSeq", kKeyComparisons, "IgnoreColSeq"},
    {"chkAutoSelTargetObj", kKeyMav, "AutoSelTargetObj"},
    {"chkAnalyzeConstraints", kKeyMav, "AnalyzeConstraints"},
    {"chkPrompt", kKeyComparisons, "PromptToSave"},
    {"chkCompleteTableScripts", kKeyComparisons, "CompleteTableScripts"},
    {"chkIgnoreSystemConstraintNames", kKeyComparisons, "IgnoreSystemConstraintNames"},
    {"chkSyncDisableTriggers", kKeyComparisons, "SyncDisableTriggers"},
    {"chkClassicLineMatching", kKeyComparisons, "ClassicLineMatching"},
};

TEST(OptionsDialog, SixteenPagesWithTheirCaptionsToolTipsAndTexts) {
    TestEnv env;
    frmOptions d;
    EXPECT_EQ(d.windowTitle(), "Options");
    const std::vector<std::string> captions = {
        "Auto Connect",  "Show Owners",         "Rows to Display",     "Case Sensitivity",
        "Whitespace",    "Ignore Comments",     "Ignore Indexes",      "Cursor Location",
        "Cache Size",    "Ignore Sys. Objects", "Data Comparison",     "Preserve Selection",
        "Columns Order", "Target Selection",    "Analyze Constraints", ""};
    ASSERT_EQ(d.PageCount(), 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(d.PageCaption(i), captions[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(d.PageToolTip(8), "You can specify the number of records cached in local memory "
                                "(applies only to server-side cursor location)");
    EXPECT_EQ(d.PageToolTip(12),
              "Determine if column's order is to be ignored during structure comparisons");
    // The uncaptioned page still names itself to whoever hovers over its entry.
    EXPECT_EQ(d.PageToolTip(15), "Prompt to save comparison process");

    EXPECT_EQ(d.PageTexts(1),
              (std::vector<std::string>{
                  "The program can show Ownership property of objects.",
                  "Each database object is owned by either a user or a role.  If the owner is a "
                  "role, the object is co-owned by every user belonging to that role.\n\n(Each "
                  "object also has privileges associated with it.  A privilege grants a "
                  "particular authority to an object for either an individual user or for all "
                  "users belonging to a particular role.)"}));
    EXPECT_EQ(d.PageTexts(4)[0], "By default, all whitespace characters (spaces. tabs and "
                                 "newlines) are ignored during comparisons.");
    EXPECT_EQ(d.PageTexts(5)[1],
              "When this option is turned on, all comments in stored procedures, triggers, "
              "functions and views are ignored during comparisons.\n\n(SQL Server supports two "
              "types of commenting characters:\n     -- double hyphens, and\n     /* ... */ "
              "forward slash-asterisk character pairs.)");
    EXPECT_EQ(d.PageTexts(8)[0],
              "The Cache Size option sets the number of records that the data provider keeps in "
              "the buffer. The default value is one, which means that only one record at a time "
              "is retrieved into local memory.");
    EXPECT_NE(d.PageTexts(9)[1].find("(for SQL Server 2005 or newer).  These objects"),
              std::string::npos);
    EXPECT_EQ(d.PageTexts(13)[0],
              "When the user selects Source object, the program can try to find matching object "
              "in Target database.  If the match is found, the program can automatically select "
              "Target object.");
    EXPECT_EQ(d.PageTexts(15)[0], "You can turn on/off prompting to save comparison process");
    EXPECT_EQ(d.PageTexts(15).size(), 2u);

    EXPECT_EQ(Child<QPushButton>(d, "cmdOK")->toolTip(),
              "Save the changes and close Options window");
    EXPECT_EQ(Child<QPushButton>(d, "cmdApply")->toolTip(),
              "Save the changes and keep Options window open");
    EXPECT_EQ(Child<QPushButton>(d, "cmdCancel")->toolTip(),
              "Cancel the changes and close Options window");
    EXPECT_EQ(Child<QCheckBox>(d, "chkAnalyzeConstraints")->text(),
              "Treat Constraints as a separate object type");
    EXPECT_EQ(Child<QRadioButton>(d, "optCurLoc(1)")->text(), "Server-side");
}

// The complete-script option sits with the other table comparison setting, under its texts.
TEST(OptionsDialog, CompleteTableScriptsSitsOnTheIgnoreIndexesPage) {
    TestEnv env;
    Settings().CompleteTableScripts = true;
    frmOptions d;
    QCheckBox* box = Child<QCheckBox>(d, "chkCompleteTableScripts");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Complete table scripts");
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(d.PageCaption(6), "Ignore Indexes");
    const auto texts = d.PageTexts(6);
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[2], "Table scripts then also list defaults, CHECK and UNIQUE constraints, "
                        "mark unique indexes and non-clustered primary keys, and give "
                        "relationships all their column pairs.");
    EXPECT_EQ(box->parentWidget(), Child<QCheckBox>(d, "chkIgnoreIndexes")->parentWidget());
}

// Leaving out generated constraint names is an option of the complete form: it sits under it
// and can be changed only while the complete form is chosen.
TEST(OptionsDialog, IgnoreSystemNamesSitsUnderCompleteScriptsAndFollowsIt) {
    TestEnv env;
    Settings().CompleteTableScripts = false;
    Settings().IgnoreSystemConstraintNames = true;
    frmOptions d;
    QCheckBox* complete = Child<QCheckBox>(d, "chkCompleteTableScripts");
    QCheckBox* names = Child<QCheckBox>(d, "chkIgnoreSystemConstraintNames");
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(names->text(), "Ignore system-generated constraint names");
    EXPECT_EQ(names->parentWidget(), complete->parentWidget());
    EXPECT_TRUE(names->isChecked());
    EXPECT_FALSE(names->isEnabled());
    complete->click();
    EXPECT_TRUE(complete->isChecked());
    EXPECT_TRUE(names->isEnabled());
    const auto texts = d.PageTexts(6);
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_NE(texts[3].find("made up by the server"), std::string::npos) << texts[3];
}

TEST(OptionsDialog, ControlsStartFromRegistryGettersAndProgramWideValues) {
    TestEnv env;
    // Values read from the registry on each use...
    SetRegDword(HKEY_CURRENT_USER, kKeyServers, "AutoConnect", 1);
    SetRegDword(HKEY_CURRENT_USER, kKeyServers, "CursorConnectionUseServer", 0);
    SetRegDword(HKEY_CURRENT_USER, kKeyComparisons, "PromptToSave", 2); // 2 is off
    // ...and program-wide ones, whatever the registry holds for them.
    SetRegDword(HKEY_CURRENT_USER, kKeyComparisons, "CaseSensitive", 0);
    Settings().CaseSensitive = true;
    Settings().MaxRowsInDiffTable = 250;
    Settings().CacheSize = 7;
    frmOptions d;
    EXPECT_TRUE(Child<QCheckBox>(d, "chkAutoConnect")->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(d, "optCurLoc(0)")->isChecked());
    EXPECT_FALSE(Child<QRadioButton>(d, "optCurLoc(1)")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(d, "chkPrompt")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(d, "chkCaseSensitive")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(d, "chkPreserveDbSel")->isChecked()); // default on
    EXPECT_EQ(Child<QLineEdit>(d, "txtMaxRows")->text(), "250");
    EXPECT_EQ(Child<QLineEdit>(d, "txtCacheSize")->text(), "7");
    EXPECT_EQ(Child<QLineEdit>(d, "txtCacheSize")->maxLength(), 8);
}

// The module reading sits on the Cache Size page; it shows the stored word and OK stores the
// chosen one, where compare-all and the windows read it.
TEST(OptionsDialog, ModuleReadingShowsAndStoresTheCompareReadingSetting) {
    TestEnv env;
    for (const auto& [stored, shown, chosen, written] :
         {std::tuple{"full", 1, 2, "hash-first"}, std::tuple{"bogus", 0, 1, "full"},
          std::tuple{"hash-first", 2, 0, "auto"}}) {
        Settings().CompareReading = stored;
        frmOptions d;
        for (int i = 0; i < 3; ++i) {
            const std::string name = "optReading(" + std::to_string(i) + ")";
            EXPECT_EQ(Child<QRadioButton>(d, name.c_str())->isChecked(), i == shown) << stored;
        }
        const std::string name = "optReading(" + std::to_string(chosen) + ")";
        Child<QRadioButton>(d, name.c_str())->setChecked(true);
        bool saved = false;
        QTimer::singleShot(
            0, &d, [&] { QTest::mouseClick(Child<QPushButton>(d, "cmdOK"), Qt::LeftButton); });
        d.ShowUp(saved);
        EXPECT_EQ(Settings().CompareReading, written);
        EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kKeyComparisons, "CompareReading", "none"),
                  written);
    }
}

TEST(OptionsDialog, OkWritesEveryOptionToTheRegistryAndTheProgramWideValues) {
    TestEnv env;
    frmOptions d;
    // Turn every check box over, so each written value differs from its default.
    std::vector<bool> expected;
    for (const CheckSetting& c : kChecks) {
        QCheckBox* box = Child<QCheckBox>(d, c.box);
        box->setChecked(!box->isChecked());
        expected.push_back(box->isChecked());
    }
    Child<QRadioButton>(d, "optCurLoc(0)")->setChecked(true);
    Child<QLineEdit>(d, "txtMaxRows")->setText("1234");
    Child<QLineEdit>(d, "txtCacheSize")->setText("64");
    bool saved = false;
    QTimer::singleShot(0, &d,
                       [&] { QTest::mouseClick(Child<QPushButton>(d, "cmdOK"), Qt::LeftButton); });
    d.ShowUp(saved);
    EXPECT_TRUE(saved);
    EXPECT_FALSE(d.isVisible());
    for (size_t i = 0; i < std::size(kChecks); ++i)
        EXPECT_EQ(Stored(kChecks[i].key, kChecks[i].value), expected[i] ? 1 : 0)
            << kChecks[i].value;
    EXPECT_EQ(Stored(kKeyServers, "CursorConnectionUseServer"), 0);
    EXPECT_EQ(Stored(kKeyMav, "MaxRowsInDiffTable"), 1234);
    EXPECT_EQ(Stored(kKeyMav, "CacheSize"), 64);

    const ProgramSettings& s = Settings();
    EXPECT_EQ(s.CursorLocation, kCursorClientSide);
    EXPECT_EQ(s.MaxRowsInDiffTable, 1234);
    EXPECT_EQ(s.CacheSize, 64);
    EXPECT_EQ(s.ShowOwners, expected[1]);
    EXPECT_EQ(s.CaseSensitive, expected[2]);
    EXPECT_EQ(s.IgnoreWhitespace, expected[3]);
    EXPECT_EQ(s.IgnoreComments, expected[4]);
    EXPECT_EQ(s.IgnoreIndexes, expected[5]);
    EXPECT_EQ(s.IgnoreSysObjects, expected[6]);
    EXPECT_EQ(s.IgnoreColSeq, expected[9]);
    EXPECT_EQ(s.AutoSelTargetObj, expected[10]);
    EXPECT_EQ(s.AnalyzeConstraints, expected[11]);
    EXPECT_EQ(s.CompleteTableScripts, expected[13]);
    EXPECT_EQ(s.IgnoreSystemConstraintNames, expected[14]);
    EXPECT_EQ(s.SyncDisableTriggers, expected[15]);
    EXPECT_EQ(s.ClassicLineMatching, expected[16]);
    // Both start from their defaults: triggers switched off, marking over the whole texts.
    EXPECT_FALSE(expected[15]);
    EXPECT_TRUE(expected[16]);
    // The getters read back what was written.
    EXPECT_EQ(AutoConnect(), expected[0]);
    EXPECT_EQ(PreserveDbSel(), expected[8]);
    EXPECT_FALSE(CursorConnectionUseServer());
    EXPECT_TRUE(env.prompter.messages.empty());
}

TEST(OptionsDialog, ApplyThenCancelKeepsTheAppliedValuesAndReportsSaved) {
    TestEnv env;
    frmOptions d;
    bool saved = false;
    QTimer::singleShot(0, &d, [&] {
        Child<QCheckBox>(d, "chkIgnoreIndexes")->setChecked(true);
        QTest::mouseClick(Child<QPushButton>(d, "cmdApply"), Qt::LeftButton);
        EXPECT_TRUE(d.isVisible()); // Apply keeps the dialog open
        EXPECT_EQ(Stored(kKeyComparisons, "IgnoreIndexes"), 1);
        // A change after Apply is discarded by Cancel.
        Child<QCheckBox>(d, "chkCaseSensitive")->setChecked(true);
        QTest::mouseClick(Child<QPushButton>(d, "cmdCancel"), Qt::LeftButton);
    });
    d.ShowUp(saved);
    EXPECT_TRUE(saved);
    EXPECT_TRUE(Settings().IgnoreIndexes);
    EXPECT_EQ(Stored(kKeyComparisons, "IgnoreIndexes"), 1);
    EXPECT_EQ(Stored(kKeyComparisons, "CaseSensitive"), 0);
    EXPECT_FALSE(Settings().CaseSensitive);

    // Cancel alone writes nothing and reports nothing saved.
    TestEnv fresh;
    frmOptions again;
    again.findChild<QCheckBox*>("chkIgnoreIndexes")->setChecked(true);
    QTimer::singleShot(0, &again, [&] { QTest::keyClick(&again, Qt::Key_Escape); });
    again.ShowUp(saved);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(QueryRegDword(HKEY_CURRENT_USER, kKeyComparisons, "IgnoreIndexes").has_value());
    EXPECT_FALSE(Settings().IgnoreIndexes);
}

TEST(OptionsDialog, NumbersBelowTheirMinimumAreCorrectedWithAMessageAndSaved) {
    TestEnv env;
    frmOptions d;
    QLineEdit* rows = Child<QLineEdit>(d, "txtMaxRows");
    QLineEdit* cache = Child<QLineEdit>(d, "txtCacheSize");
    rows->clear();
    cache->setText("0");
    d.Apply();
    ASSERT_EQ(env.prompter.messages.size(), 2u);
    EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::Warning);
    EXPECT_EQ(env.prompter.messages[0].text,
              "Maximum number of rows displayed in differences table cannot be smaller than "
              "10.\r\n\r\nProgram will reset this value to 10.");
    EXPECT_EQ(env.prompter.messages[1].icon, MsgIcon::Warning);
    EXPECT_EQ(env.prompter.messages[1].text,
              "Cache Size cannot be smaller than 1.\r\n\r\nProgram will reset this value to 1.");
    EXPECT_EQ(rows->text(), "10");
    EXPECT_EQ(cache->text(), "1");
    EXPECT_EQ(Stored(kKeyMav, "MaxRowsInDiffTable"), 10);
    EXPECT_EQ(Stored(kKeyMav, "CacheSize"), 1);
    EXPECT_EQ(Settings().MaxRowsInDiffTable, 10);
    EXPECT_TRUE(d.OptionsSaved());

    // The minimums themselves pass without a word.
    env.prompter.messages.clear();
    rows->setText("10");
    cache->setText("1");
    EXPECT_TRUE(d.ValidateData());
    EXPECT_TRUE(env.prompter.messages.empty());
    rows->setText("9");
    EXPECT_TRUE(d.ValidateData());
    EXPECT_EQ(env.prompter.messages.size(), 1u);
}

TEST(OptionsDialog, NumberBoxesTakeOnlyDigitsFromTheKeyboard) {
    TestEnv env;
    frmOptions d;
    d.show();
    for (const char* name : {"txtMaxRows", "txtCacheSize"}) {
        QLineEdit* box = Child<QLineEdit>(d, name);
        box->clear();
        QTest::keyClicks(box, "1a-2 x3.");
        EXPECT_EQ(box->text(), "123") << name;
        QTest::keyClick(box, Qt::Key_Backspace);
        EXPECT_EQ(box->text(), "12") << name;
        QTest::keyClicks(box, "3456789012");
        EXPECT_EQ(box->text(), "12345678") << name; // at most 8 characters
    }
}

TEST(OptionsDialog, TheRowsPageFocusesItsBoxAndTheUncaptionedPageCanBeChosen) {
    TestEnv env;
    frmOptions d;
    d.show();
    QApplication::setActiveWindow(&d);
    QApplication::processEvents();
    d.SetCurrentPage(2);
    QApplication::processEvents();
    EXPECT_EQ(d.CurrentPage(), 2);
    EXPECT_EQ(QApplication::focusWidget(), d.findChild<QLineEdit*>("txtMaxRows"));
    d.SetCurrentPage(15);
    EXPECT_TRUE(d.findChild<QCheckBox*>("chkPrompt")->isVisible());
}

} // namespace
} // namespace orv
