// Saving the comparison a report describes, and reading it back.
#include "compare/compare_sel_procs.h"
#include "core/paths.h"
#include "save_settings_scope.h"
#include "test_env.h"
#include "ui/main/frm_report.h"
#include "ui/main/frm_run_saved_comp.h"
#include "ui/main/frm_save_comparison.h"
#include "ui/widgets/qt_list_control.h"
#include "util/memory_text_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace orv {
namespace {

using test::ReadTextFile;
using test::TestEnv;
using test::WriteTextFile;

ComparisonDescription Sample() {
    ComparisonDescription d;
    d.ServerName[0] = "SALES01";
    d.ServerName[1] = "127.0.0.1,14330";
    d.DbName[0] = "Shop";
    d.DbName[1] = "Shop_Test";
    d.TableName[0] = "dbo.Orders";
    d.TableName[1] = "dbo.Orders";
    d.CompType = 1;
    d.CompSubType = 35;
    d.EncObjTypes = "1000000";
    d.CompMethod = -1;
    d.CheckCount[1] = 2;
    d.TableId[0] = "1977058079";
    d.TableId[1] = "0";
    return d;
}

TEST(SavedComparison, SaveWritesEveryKeyInTheNextFreeNumberedSection) {
    TestEnv env;
    test::SaveSettingsAnswer answer;
    const std::string& ini = Paths().CompsIni;
    // Sections 1 and 3 are taken, and a section with another kind of name is not a number.
    ASSERT_TRUE(WriteTextFile(ini, "[1]\r\nCompType=1\r\n[Notes]\r\na=b\r\n[3]\r\nCompType=1\r\n"));
    frmReport w;
    w.Describe("Comparison Report", Sample());
    w.show();
    auto* save = w.findChild<QPushButton*>("cmdSave");
    ASSERT_TRUE(save->isEnabled());
    QTest::mouseClick(save, Qt::LeftButton);

    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(env.prompter.messages[0].title, "Save Comparison");
    EXPECT_EQ(env.prompter.messages[0].text, "The comparison process was saved as number 2.");
    const std::string text = ReadTextFile(ini);
    const size_t at = text.find("[2]");
    ASSERT_NE(at, std::string::npos) << text;
    const std::string expected = "[2]\r\nCompType=1\r\nCompSubType=35\r\nCompSubSubType=0\r\n"
                                 "EncObjTypes=1000000\r\nServerName1=SALES01\r\nDbName1=Shop\r\n"
                                 "TableName1=dbo.Orders\r\nServerName2=127.0.0.1,14330\r\n"
                                 "DbName2=Shop_Test\r\nTableName2=dbo.Orders\r\n"
                                 "SelCompCountSource=0\r\nSelCompCountTarget=2\r\n"
                                 "ObjId1=1977058079\r\nObjId2=0\r\nExportFilePath=\r\n"
                                 "ExportType=0\r\nPrint=False\r\n";
    EXPECT_EQ(text.substr(at, expected.size()), expected);
    // The other sections are untouched.
    EXPECT_NE(text.find("[Notes]\r\na=b\r\n"), std::string::npos);

    // The next save takes the next free number.
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_EQ(env.prompter.messages.back().text, "The comparison process was saved as number 4.");
}

TEST(SavedComparison, ASavedProcessReadsBackAsItWasDescribed) {
    TestEnv env;
    ComparisonDescription d = Sample();
    d.SavedFullExportFilePath = "/home/dba/out/orders.HTML";
    d.Print = true;
    const int32_t n = SaveComparisonProcess(Paths().CompsIni, d);
    ASSERT_EQ(n, 1);
    EXPECT_NE(ReadTextFile(Paths().CompsIni).find("ExportType=1\r\nPrint=True"), std::string::npos);
    ComparisonDescription back;
    ASSERT_TRUE(LoadComparisonProcess(Paths().CompsIni, n, back));
    EXPECT_EQ(back.ServerName[1], d.ServerName[1]);
    EXPECT_EQ(back.DbName[1], "Shop_Test");
    EXPECT_EQ(back.TableName[0], "dbo.Orders");
    EXPECT_EQ(back.CompSubType, 35);
    EXPECT_EQ(back.EncObjTypes, "1000000");
    EXPECT_EQ(back.CheckCount[1], 2);
    EXPECT_EQ(back.TableId[0], "1977058079");
    EXPECT_EQ(back.SavedFullExportFilePath, d.SavedFullExportFilePath);
    EXPECT_TRUE(back.Print);
    EXPECT_FALSE(LoadComparisonProcess(Paths().CompsIni, 2, back));
}

TEST(SavedComparison, ExportTypesFollowTheFileName) {
    EXPECT_EQ(ExportTypeOf("/tmp/diff.htm"), kExportHtml);
    EXPECT_EQ(ExportTypeOf("report.Html"), kExportHtml);
    EXPECT_EQ(ExportTypeOf("rows.CSV"), kExportCsv);
    EXPECT_EQ(ExportTypeOf("/data.csv/report"), 0);
    EXPECT_EQ(ExportTypeOf("report.txt"), 0);
    EXPECT_EQ(std::string(ExportTypeName(kExportHtml)), "Hyper Text Markup Language (HTML) file");
    EXPECT_EQ(std::string(ExportTypeName(kExportCsv)), "Excel - Comma Separated Values (CSV) file");
    EXPECT_EQ(std::string(ExportTypeName(7)), "N/A");
}

TEST(SavedComparison, AReportThatIsNoComparisonHasNothingToSave) {
    TestEnv env;
    frmReport w;
    w.mstrFormCaption = "Database Information";
    w.show();
    auto* save = w.findChild<QPushButton*>("cmdSave");
    EXPECT_FALSE(save->isEnabled());
    w.SaveComparison();
    EXPECT_TRUE(env.prompter.messages.empty());
    EXPECT_TRUE(ReadTextFile(Paths().CompsIni).empty());
}

TEST(SavedComparison, AFileThatCannotBeWrittenIsReported) {
    TestEnv env;
    test::SaveSettingsAnswer answer;
    Paths().CompsIni = env.PathOf("no/such/folder/orv_comps.ini");
    frmReport w;
    w.Describe("Comparison Report", Sample());
    w.SaveComparison();
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].icon, MsgIcon::Error);
    EXPECT_EQ(env.prompter.messages[0].text,
              "The comparison process could not be saved in " + Paths().CompsIni + ".");
}

TEST(SavedComparison, CancellingTheSaveDialogSavesNothing) {
    TestEnv env;
    test::SaveSettingsAnswer answer([](ComparisonDescription&) { return false; });
    frmReport w;
    w.Describe("Comparison Report", Sample());
    w.SaveComparison();
    EXPECT_EQ(answer.asked, 1);
    EXPECT_TRUE(env.prompter.messages.empty());
    EXPECT_TRUE(ReadTextFile(Paths().CompsIni).empty());
}

TEST(SavedComparison, AHighlightedSectionComparisonCannotBeSaved) {
    TestEnv env;
    test::SaveSettingsAnswer answer;
    MemoryTextView source, target;
    source.SetText("alpha\r\nbeta");
    target.SetText("alpha\r\ngamma");
    CompareRequest request;
    request.sourceView = &source;
    request.targetView = &target;
    request.names.TypeCode = kTypeProcedure;
    const CompareResult whole = CompareSelProcs(request);
    ASSERT_TRUE(whole.Compared);
    EXPECT_TRUE(whole.Report.SaveRefusal.empty());
    request.givenTexts = true;
    request.sourceText = request.targetText = "alpha";
    const CompareResult sections = CompareSelProcs(request);
    ASSERT_TRUE(sections.Compared);
    ASSERT_FALSE(sections.Report.SaveRefusal.empty());

    frmReport w;
    w.RefuseSave(sections.Report.SaveRefusal);
    w.Describe("Comparison Report", DescribeComparison(sections.Report));
    auto* save = w.findChild<QPushButton*>("cmdSave");
    EXPECT_FALSE(save->isEnabled());
    EXPECT_EQ(save->toolTip().toStdString(), sections.Report.SaveRefusal);
    w.SaveComparison();
    EXPECT_EQ(answer.asked, 0);
    EXPECT_TRUE(ReadTextFile(Paths().CompsIni).empty());
}

TEST(SavedComparison, TheSaveDialogProposesANameAndChecksTheExportFile) {
    TestEnv env;
    ComparisonDescription d = Sample();
    d.SavedFullExportFilePath = env.PathOf("orders.csv");
    frmSaveComparison dialog(d);
    EXPECT_EQ(dialog.NameEdit()->text().toStdString(),
              "Compare Table dbo.Orders: Shop - Shop_Test");
    EXPECT_EQ(dialog.ExportTypeSelector()->currentData().toInt(), kExportCsv);
    struct Case {
        std::string path;
        std::string message; // empty: accepted
    };
    const std::vector<Case> cases = {
        {"relative/report.html", "The export file must be given with its whole path"},
        {env.PathOf("missing/report.html"), "The folder " + env.PathOf("missing")},
        {env.PathOf("report.html"), ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        env.prompter.messages.clear();
        dialog.ExportEdit()->setText(QString::fromStdString(c.path));
        EXPECT_EQ(dialog.Confirm(), c.message.empty());
        if (c.message.empty()) {
            EXPECT_TRUE(env.prompter.messages.empty()) << env.prompter.messages[0].text;
            continue;
        }
        ASSERT_EQ(env.prompter.messages.size(), 1u);
        EXPECT_EQ(env.prompter.messages[0].text.rfind(c.message, 0), 0u)
            << env.prompter.messages[0].text;
    }
    // Typing a name with another extension switches the type; no file means no type.
    QTest::keyClicks(dialog.ExportEdit(), "/tmp/a.html");
    EXPECT_EQ(dialog.ExportTypeSelector()->currentData().toInt(), kExportHtml);
    dialog.NameEdit()->setText("  Orders  ");
    dialog.PrintCheck()->setChecked(true);
    ComparisonDescription result = dialog.Result();
    EXPECT_EQ(result.Name, "Orders");
    EXPECT_EQ(result.SavedFullExportFilePath, "/tmp/a.html");
    EXPECT_EQ(result.ExportType, kExportHtml);
    EXPECT_TRUE(result.Print);
    dialog.ExportEdit()->clear();
    EXPECT_EQ(dialog.Result().ExportType, 0);
}

TEST(SavedComparison, TheExportFileNameFollowsTheChosenType) {
    TestEnv env;
    ComparisonDescription d = Sample();
    d.SavedFullExportFilePath = env.PathOf("orders.csv");
    d.ExportType = kExportCsv;
    frmSaveComparison dialog(d);
    dialog.show();
    // Choosing HTML in the type box renames the file; choosing CSV again renames it back.
    QComboBox* type = dialog.ExportTypeSelector();
    type->setFocus();
    QTest::keyClick(type, Qt::Key_Up);
    EXPECT_EQ(type->currentData().toInt(), kExportHtml);
    EXPECT_EQ(dialog.ExportEdit()->text().toStdString(), env.PathOf("orders.html"));
    QTest::keyClick(type, Qt::Key_Down);
    EXPECT_EQ(dialog.ExportEdit()->text().toStdString(), env.PathOf("orders.csv"));
    // A name without either ending gets the type's on OK; so does a mismatch set from outside.
    dialog.ExportEdit()->setText(QString::fromStdString(env.PathOf("nightly")));
    ASSERT_TRUE(dialog.Confirm());
    EXPECT_EQ(dialog.ExportEdit()->text().toStdString(), env.PathOf("nightly.csv"));
    frmSaveComparison stored(d);
    stored.ExportEdit()->setText(QString::fromStdString(env.PathOf("orders.csv")));
    stored.ExportTypeSelector()->blockSignals(true);
    stored.ExportTypeSelector()->setCurrentIndex(0); // HTML
    stored.ExportTypeSelector()->blockSignals(false);
    const ComparisonDescription result = stored.Result();
    EXPECT_EQ(result.ExportType, kExportHtml);
    EXPECT_EQ(result.SavedFullExportFilePath, env.PathOf("orders.html"));
}

// A whole-database process may deploy: the script's file is whole, and running it on the target
// needs the target database typed again. A single pair cannot deploy.
TEST(SavedComparison, DeployingNeedsAWholePathAndTheTargetNamedAgain) {
    TestEnv env;
    ComparisonDescription pair = Sample();
    frmSaveComparison single(pair);
    EXPECT_FALSE(single.DeployCheck()->isEnabled());
    ComparisonDescription d = Sample();
    d.CompSubType = kCompSubTypeAllObjects;
    d.EncObjTypes = "1,1,1,1,1,1,0";
    frmSaveComparison dialog(d);
    EXPECT_TRUE(dialog.DeployCheck()->isEnabled());
    EXPECT_FALSE(dialog.DeployScriptEdit()->isEnabled());
    dialog.DeployCheck()->setChecked(true);
    EXPECT_TRUE(dialog.DeployScriptEdit()->isEnabled());
    EXPECT_FALSE(dialog.DeployTargetEdit()->isEnabled());
    dialog.DeployScriptEdit()->setText("deploy.sql");
    EXPECT_FALSE(dialog.Confirm());
    EXPECT_NE(env.prompter.messages.back().text.find("whole path"), std::string::npos);
    dialog.DeployScriptEdit()->setText(QString::fromStdString(env.PathOf("deploy.sql")));
    dialog.DeployApplyCheck()->setChecked(true);
    dialog.DeployTargetEdit()->setText("Shop");
    EXPECT_FALSE(dialog.Confirm());
    EXPECT_EQ(env.prompter.messages.back().text,
              "To run the deployment on the target, type the target database's name (Shop_Test) "
              "again.");
    dialog.DeployTargetEdit()->setText("Shop_Test");
    ASSERT_TRUE(dialog.Confirm());
    const ComparisonDescription result = dialog.Result();
    EXPECT_TRUE(result.Deploy);
    EXPECT_EQ(result.DeployScriptPath, env.PathOf("deploy.sql"));
    EXPECT_TRUE(result.DeployApply);
    EXPECT_EQ(result.DeployTarget, "Shop_Test");
}

TEST(SavedComparison, EditChangesAStoredProcessInItsDialog) {
    TestEnv env;
    ComparisonDescription d = Sample();
    d.CompSubType = kCompSubTypeAllObjects;
    d.EncObjTypes = "0,1,0,1,0,0,0";
    d.CheckCount[1] = 0;
    d.Name = "Nightly";
    d.SavedFullExportFilePath = env.PathOf("nightly.html");
    d.ExportType = kExportHtml;
    ASSERT_EQ(SaveComparisonProcess(Paths().CompsIni, d), 1);
    WriteTextFile(Paths().CompsIni,
                  ReadTextFile(Paths().CompsIni) + "[2]\r\nCompType=1\r\nCompSubType=ten\r\n");

    frmRunSavedComp list;
    list.show();
    auto* edit = list.findChild<QPushButton*>("cmdEdit");
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(list.SelectNumber(2));
    EXPECT_FALSE(edit->isEnabled()); // a refused process cannot be edited
    ASSERT_TRUE(list.SelectNumber(1));
    EXPECT_TRUE(edit->isEnabled());

    int shown = 0;
    std::string title, refusal;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<frmSaveComparison*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        ++shown;
        title = dialog->windowTitle().toStdString();
        EXPECT_EQ(dialog->NameEdit()->text().toStdString(), "Nightly");
        dialog->NameEdit()->setText("Nightly, no secrets");
        dialog->ExportEdit()->clear();
        QTest::keyClicks(dialog->ExportEdit(), QString::fromStdString(env.PathOf("n.csv")));
        EXPECT_EQ(dialog->ExportTypeSelector()->currentData().toInt(), kExportCsv);
        QTest::mouseClick(dialog->PrintCheck(), Qt::LeftButton, {}, QPoint(6, 6));
        QTest::keyClicks(dialog->ExcludeEdit(), "gadgets:x");
        QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        QTest::mouseClick(ok, Qt::LeftButton);
        // A pattern naming no type keeps the dialog open with the reason.
        EXPECT_TRUE(dialog->isVisible());
        if (!env.prompter.messages.empty())
            refusal = env.prompter.messages.back().text;
        dialog->ExcludeEdit()->clear();
        QTest::keyClicks(dialog->ExcludeEdit(), "procedures:sales.usp_Commission_*");
        QTest::keyClick(dialog->ExcludeEdit(), Qt::Key_Return);
        QTest::keyClicks(dialog->ExcludeEdit(), "views:*_old");
        QTest::keyClicks(dialog->IncludeEdit(), "dbo.*");
        dialog->NotComparableSelector()->setFocus();
        QTest::keyClick(dialog->NotComparableSelector(), Qt::Key_Down);
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    QTest::mouseClick(edit, Qt::LeftButton);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(title, "Edit Comparison Process");
    EXPECT_NE(refusal.find("unknown object type 'gadgets'"), std::string::npos) << refusal;

    ComparisonDescription back;
    std::string error;
    ASSERT_TRUE(ReadComparisonProcess(Paths().CompsIni, 1, back, error)) << error;
    EXPECT_EQ(back.Name, "Nightly, no secrets");
    EXPECT_EQ(back.SavedFullExportFilePath, env.PathOf("n.csv"));
    EXPECT_EQ(back.ExportType, kExportCsv);
    EXPECT_TRUE(back.Print);
    EXPECT_EQ(back.ExcludePatterns,
              (std::vector<std::string>{"procedures:sales.usp_Commission_*", "views:*_old"}));
    EXPECT_EQ(back.IncludePatterns, std::vector<std::string>{"dbo.*"});
    EXPECT_TRUE(back.ReportNotComparable);
    EXPECT_EQ(back.EncObjTypes, d.EncObjTypes); // what it compares is not touched
    EXPECT_EQ(list.List()->CellText(0, 1), "Nightly, no secrets");
    EXPECT_EQ(list.List()->CellText(0, 7), env.PathOf("n.csv") + " (CSV), print");
    EXPECT_EQ(list.CurrentNumber(), 1);
}

} // namespace
} // namespace orv
