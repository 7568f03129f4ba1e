// The results window of a whole-database comparison over hand-built results: the summary, the
// filters, the marked side-by-side texts, stepping through differences, the buttons and the
// mark of an incomplete run.
#include "compare/comp_line.h"
#include "core/inifile.h"
#include "core/paths.h"
#include "db_compare_results_fixture.h"
#include "save_settings_scope.h"
#include "test_env.h"
#include "ui/main/db_compare_saved_comp.h"
#include "ui/main/frm_db_compare_results.h"
#include "ui/widgets/qt_text_view.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>

namespace orv {
namespace {

using test::ReadTextFile;
using test::SampleResults;
using test::TestEnv;

const std::vector<SelectedObject> kNoneSelected[2] = {};

class ResultsWindowTest : public ::testing::Test {
protected:
    std::unique_ptr<frmDbCompareResults>
    Open(std::shared_ptr<DbCompareResults> r = nullptr,
         const std::vector<SelectedObject> (&selected)[2] = kNoneSelected) {
        if (!r)
            r = SampleResults();
        auto w = std::make_unique<frmDbCompareResults>(r, "Compare All Objects", selected);
        w->show();
        QApplication::processEvents();
        return w;
    }

    static std::string NameAt(const frmDbCompareResults& w, int row) {
        const PairVerdict* p = w.ShownPair(row);
        if (!p)
            return "";
        const ObjectRef& ref = p->HasSource ? p->Source : p->Target;
        return ref.Schema + "." + ref.Name;
    }

    static std::vector<std::string> ShownNames(const frmDbCompareResults& w) {
        std::vector<std::string> names;
        for (int r = 0; r < w.ShownCount(); ++r)
            names.push_back(NameAt(w, r));
        return names;
    }

    // The background of each line of a view, as the status whose colour it is (-1: none).
    static std::vector<int32_t> LineColours(QtTextView& view) {
        std::vector<int32_t> out;
        for (int64_t line = 0; line < view.Lines(); ++line) {
            const QColor c = view.BackgroundAt(view.LineStart(line));
            int32_t status = -1;
            for (int32_t s : {LineSame, LineChanged, LineOnlyInSource, LineOnlyInTarget}) {
                const Colour k = StatusToColor(s);
                if (c.isValid() && c == QColor(k & 0xFF, (k >> 8) & 0xFF, (k >> 16) & 0xFF))
                    status = s;
            }
            out.push_back(status);
        }
        return out;
    }

    TestEnv env;
};

TEST_F(ResultsWindowTest, SummaryCountsEachTypeAndTheTotals) {
    auto w = Open();
    QTreeWidget* summary = w->Summary();
    ASSERT_EQ(summary->topLevelItemCount(), 4);
    // type, identical, different, only in source, only in target, not comparable, total
    const std::vector<std::vector<std::string>> expected = {
        {"Tables", "1", "1", "0", "0", "0", "2"},
        {"Procedures", "1", "1", "1", "1", "0", "4"},
        {"Views", "0", "0", "0", "0", "1", "1"},
        {"All types", "2", "2", "1", "1", "1", "7"},
    };
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 7; ++col)
            EXPECT_EQ(summary->topLevelItem(row)->text(col).toStdString(),
                      expected[static_cast<size_t>(row)][static_cast<size_t>(col)])
                << "row " << row << " column " << col;
    EXPECT_FALSE(w->IncompleteLabel()->isVisible());
    EXPECT_EQ(w->windowTitle().toStdString(), "Structure Comparison - Compare All Objects");
    // Clicking a count lists exactly those objects.
    QTreeWidgetItem* procedures = summary->topLevelItem(1);
    emit summary->itemClicked(procedures, 3);
    EXPECT_EQ(ShownNames(*w), std::vector<std::string>{"dbo.OnlyHere"});
}

TEST_F(ResultsWindowTest, FiltersByStatusTypeAndNamePattern) {
    struct Case {
        StatusFilter status;
        ObjectType type;
        std::string pattern;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {StatusFilter::All,
         kTypeNone,
         "",
         {"dbo.Customers", "dbo.Orders", "dbo.GetCustomer", "dbo.OnlyHere", "dbo.Same",
          "sales.NewOne", "dbo.vSecret"}},
        {StatusFilter::AnyDifference,
         kTypeNone,
         "",
         {"dbo.Orders", "dbo.GetCustomer", "dbo.OnlyHere", "sales.NewOne", "dbo.vSecret"}},
        {StatusFilter::Identical, kTypeNone, "", {"dbo.Customers", "dbo.Same"}},
        {StatusFilter::OnlyInTarget, kTypeNone, "", {"sales.NewOne"}},
        {StatusFilter::NotComparable, kTypeNone, "", {"dbo.vSecret"}},
        {StatusFilter::All,
         kTypeProcedure,
         "",
         {"dbo.GetCustomer", "dbo.OnlyHere", "dbo.Same", "sales.NewOne"}},
        {StatusFilter::Different, kTypeTable, "", {"dbo.Orders"}},
        // Wildcards, any letter case; a plain text matches inside names; schema.name too.
        {StatusFilter::All, kTypeNone, "*ONE", {"sales.NewOne"}},
        {StatusFilter::All, kTypeNone, "cust", {"dbo.Customers", "dbo.GetCustomer"}},
        {StatusFilter::All, kTypeNone, "?rders", {"dbo.Orders"}},
        {StatusFilter::All, kTypeNone, "sales.*", {"sales.NewOne"}},
        {StatusFilter::All, kTypeProcedure, "*e", {"dbo.OnlyHere", "dbo.Same", "sales.NewOne"}},
        {StatusFilter::Identical, kTypeView, "", {}},
    };
    auto w = Open();
    for (const Case& c : cases) {
        w->SetStatusFilter(c.status);
        w->SetTypeFilter(c.type);
        w->SetNamePattern(c.pattern);
        EXPECT_EQ(ShownNames(*w), c.names) << "pattern '" << c.pattern << "'";
        EXPECT_EQ(w->ShownLabel()->text().toStdString(),
                  std::to_string(c.names.size()) + " of 7 objects");
        if (c.names.empty()) {
            EXPECT_TRUE(w->SourceView()->Text().empty());
            EXPECT_TRUE(w->TargetView()->Text().empty());
        }
    }
    // The controls drive the same filters.
    w->SetStatusFilter(StatusFilter::All);
    w->SetTypeFilter(kTypeNone);
    w->SetNamePattern("");
    auto* type = w->findChild<QComboBox*>("cmbType");
    type->setCurrentIndex(type->findText("Views"));
    EXPECT_EQ(ShownNames(*w), std::vector<std::string>{"dbo.vSecret"});
    auto* name = w->findChild<QLineEdit*>("txtFilterName");
    type->setCurrentIndex(0);
    QTest::keyClicks(name, "get*");
    EXPECT_EQ(ShownNames(*w), std::vector<std::string>{"dbo.GetCustomer"});
}

TEST_F(ResultsWindowTest, TheChosenPairIsShownSideBySideInTheMarkingColours) {
    auto w = Open();
    // The window opens on the first difference.
    ASSERT_EQ(NameAt(*w, w->CurrentRow()), "dbo.Orders");
    QtTextView* source = w->SourceView();
    QtTextView* target = w->TargetView();
    EXPECT_EQ(LineColours(*source),
              (std::vector<int32_t>{LineSame, LineSame, LineChanged, LineSame}));
    EXPECT_EQ(LineColours(*target),
              (std::vector<int32_t>{LineSame, LineSame, LineChanged, LineOnlyInTarget, LineSame}));
    EXPECT_NE(
        w->findChild<QLabel*>("lblSource")->text().toStdString().find("SRC01.Shop - dbo.Orders"),
        std::string::npos);

    struct Case {
        std::string name;
        bool sourceText, targetText;
    };
    for (const Case& c : std::vector<Case>{{"dbo.Customers", true, true},
                                           {"dbo.OnlyHere", true, false},
                                           {"sales.NewOne", false, true}}) {
        for (int r = 0; r < w->ShownCount(); ++r)
            if (NameAt(*w, r) == c.name)
                w->SelectRow(r);
        ASSERT_EQ(NameAt(*w, w->CurrentRow()), c.name);
        EXPECT_EQ(!source->Text().empty(), c.sourceText) << c.name;
        EXPECT_EQ(!target->Text().empty(), c.targetText) << c.name;
        // Only a different pair is marked: nothing else carries a colour.
        for (int32_t s : LineColours(*source))
            EXPECT_EQ(s, -1) << c.name;
        for (int32_t s : LineColours(*target))
            EXPECT_EQ(s, -1) << c.name;
    }
    // A one-sided pair names the missing object on the other side.
    EXPECT_NE(w->findChild<QLabel*>("lblSource")
                  ->text()
                  .toStdString()
                  .find("no procedure named sales.NewOne"),
              std::string::npos);
}

TEST_F(ResultsWindowTest, F3AndShiftF3StepThroughTheDifferencesShown) {
    auto w = Open();
    std::vector<std::string> visited = {NameAt(*w, w->CurrentRow())};
    for (int k = 0; k < 6; ++k) {
        QTest::keyClick(w.get(), Qt::Key_F3);
        visited.push_back(NameAt(*w, w->CurrentRow()));
    }
    // Identical objects are passed over; at the last difference the row stays.
    EXPECT_EQ(visited, (std::vector<std::string>{"dbo.Orders", "dbo.GetCustomer", "dbo.OnlyHere",
                                                 "sales.NewOne", "dbo.vSecret", "dbo.vSecret",
                                                 "dbo.vSecret"}));
    QTest::keyClick(w.get(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(NameAt(*w, w->CurrentRow()), "sales.NewOne");
    // Among the rows a filter shows only.
    w->SetTypeFilter(kTypeProcedure);
    w->SelectRow(0);
    EXPECT_TRUE(w->NextDifference());
    EXPECT_EQ(NameAt(*w, w->CurrentRow()), "dbo.OnlyHere");
    EXPECT_TRUE(w->PreviousDifference());
    EXPECT_EQ(NameAt(*w, w->CurrentRow()), "dbo.GetCustomer");
    EXPECT_FALSE(w->PreviousDifference());
    // The buttons do the same.
    QTest::mouseClick(w->findChild<QPushButton*>("cmdNextDiff"), Qt::LeftButton);
    EXPECT_EQ(NameAt(*w, w->CurrentRow()), "dbo.OnlyHere");
    EXPECT_NE(w->findChild<QPushButton*>("cmdNextDiff")->toolTip().indexOf("F3"), -1);
    EXPECT_NE(w->findChild<QPushButton*>("cmdPrevDiff")->toolTip().indexOf("Shift+F3"), -1);
}

TEST_F(ResultsWindowTest, DoubleClickAndEnterHandTheRowsPairToTheMainWindow) {
    auto w = Open();
    std::vector<std::string> chosen;
    w->onPairChosen = [&](const DbCompareResults& r, const PairVerdict& p) {
        EXPECT_EQ(r.DbName[1], "ShopTest");
        chosen.push_back((p.HasSource ? p.Source : p.Target).Name);
    };
    QTreeView* list = w->ObjectList();
    const QRect rect = list->visualRect(list->model()->index(2, 2));
    // As the platform delivers a double-click: a click, then the double-click, then a release.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(rect.center()),
                    QPointF(list->viewport()->mapToGlobal(rect.center())), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &dbl);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, rect.center());
    w->SelectRow(5);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(chosen, (std::vector<std::string>{"GetCustomer", "NewOne"}));
}

TEST_F(ResultsWindowTest, ExportWritesTheFormatOfTheChosenNameAndNeverHalfAFile) {
    auto w = Open();
    struct Case {
        std::string file;
        std::string expectStart; // empty: nothing is written
        std::string message;     // the title of a message, if any
    };
    const std::vector<Case> cases = {
        {"out.html", "<!DOCTYPE html>", ""},
        {"out.CSV",
         "type,schema,name,status,source_modified,target_modified,differing_lines,note,"
         "reading\r\n",
         ""},
        {"out.txt", "", "Cannot Export"},
        {"missing-folder/out.csv", "", "Cannot Export"},
    };
    for (const Case& c : cases) {
        env.prompter.messages.clear();
        const std::string path = env.PathOf(c.file);
        env.prompter.fileAnswers.push_back(path);
        QTest::mouseClick(w->findChild<QPushButton*>("cmdCopyToFile"), Qt::LeftButton);
        ASSERT_FALSE(env.prompter.fileRequests.empty());
        EXPECT_EQ(env.prompter.fileRequests.back().filter,
                  "HTML files (*.html)|*.html|CSV files (*.csv)|*.csv");
        const std::string written = ReadTextFile(path);
        if (c.expectStart.empty()) {
            EXPECT_FALSE(std::filesystem::exists(path)) << c.file;
            ASSERT_EQ(env.prompter.messages.size(), 1u) << c.file;
            EXPECT_EQ(env.prompter.messages[0].title, c.message);
        } else {
            EXPECT_EQ(written.substr(0, c.expectStart.size()), c.expectStart) << c.file;
            EXPECT_NE(written.find("GetCustomer"), std::string::npos) << c.file;
            EXPECT_TRUE(env.prompter.messages.empty()) << c.file;
            EXPECT_EQ(w->ExportedPath(), path);
        }
    }
    // Cancelling the dialog writes nothing and says nothing.
    env.prompter.messages.clear();
    QTest::mouseClick(w->findChild<QPushButton*>("cmdCopyToFile"), Qt::LeftButton);
    EXPECT_TRUE(env.prompter.messages.empty());
}

TEST_F(ResultsWindowTest, SaveComparisonStoresTheRunAsAProcess) {
    test::SaveSettingsAnswer answer;
    auto r = SampleResults(DbCompareKind::Selective);
    r->Details = true;
    r->Types = {kTypeProcedure};
    std::vector<SelectedObject> picked[2];
    picked[0] = {{kTypeProcedure, 103, "dbo.GetCustomer"}, {kTypeProcedure, 104, "dbo.Only,Here"}};
    auto w = Open(r, picked);
    const std::string exported = env.PathOf("sel.csv");
    env.prompter.fileAnswers.push_back(exported);
    w->ExportToFile();
    QTest::mouseClick(w->findChild<QPushButton*>("cmdSave"), Qt::LeftButton);
    ASSERT_EQ(env.prompter.messages.size(), 1u);
    EXPECT_EQ(env.prompter.messages[0].text, "The comparison process was saved as number 1.");
    const std::string text = ReadTextFile(Paths().CompsIni);
    const std::string expected =
        "[1]\r\nCompType=1\r\nCompSubType=30\r\nCompSubSubType=1\r\n"
        "EncObjTypes=0,1,0,0,0,0,0\r\nServerName1=SRC01\r\nDbName1=Shop\r\nTableName1=\r\n"
        "ServerName2=TGT01\r\nDbName2=ShopTest\r\nTableName2=\r\nSelCompCountSource=2\r\n"
        "SelCompCountTarget=0\r\nObjId1=0\r\nObjId2=0\r\nExportFilePath=" +
        exported +
        "\r\nExportType=2\r\nPrint=False\r\nSelCompSource1=10,103,dbo.GetCustomer\r\n"
        "SelCompSource2=10,104,dbo.Only,Here\r\n";
    EXPECT_EQ(text, expected);
    // And it reads back as it was saved.
    ComparisonDescription back;
    ASSERT_TRUE(LoadComparisonProcess(Paths().CompsIni, 1, back));
    EXPECT_EQ(back.CheckedObjects[0],
              (std::vector<std::string>{"10,103,dbo.GetCustomer", "10,104,dbo.Only,Here"}));
    EXPECT_EQ(back.CompSubType, kCompSubTypeSelective);
}

TEST_F(ResultsWindowTest, SavedKindsAndTypesOfEachComparison) {
    struct Case {
        DbCompareKind kind;
        bool details;
        std::vector<ObjectType> types;
        int32_t subType, subSubType;
        std::string flags;
    };
    const std::vector<Case> cases = {
        {DbCompareKind::All, false, {50, 10, 20, 30, 40, 60}, 10, 0, "1,1,1,1,1,1,0"},
        {DbCompareKind::All, false, {50, 10, 20, 30, 40, 60, 80}, 10, 0, "1,1,1,1,1,1,1"},
        {DbCompareKind::Bulk, true, {kTypeView}, 20, 1, "0,0,0,1,0,0,0"},
        {DbCompareKind::Bulk, false, {kTypeConstraint}, 20, 0, "0,0,0,0,0,0,1"},
    };
    for (const Case& c : cases) {
        DbCompareResults r;
        r.Kind = c.kind;
        r.Details = c.details;
        r.Types = c.types;
        std::vector<SelectedObject> picked[2];
        picked[1] = {{kTypeView, 7, "v"}}; // ignored unless selective
        const ComparisonDescription d = DescribeDbCompare(r, picked, "", true);
        EXPECT_EQ(d.CompType, 1);
        EXPECT_EQ(d.CompSubType, c.subType);
        EXPECT_EQ(d.CompSubSubType, c.subSubType);
        EXPECT_EQ(d.EncObjTypes, c.flags);
        EXPECT_EQ(d.CheckCount[1], 0);
        EXPECT_TRUE(d.Print);
    }
}

TEST_F(ResultsWindowTest, AnIncompleteRunIsMarkedInTheWindowAndInItsReport) {
    struct Case {
        RunOutcome outcome;
        std::string problem;
        std::string banner;
    };
    for (const Case& c : std::vector<Case>{
             {RunOutcome::Cancelled, "Stopped by the user.", "the comparison was stopped"},
             {RunOutcome::Failed, "Communication link failure", "the comparison failed"}}) {
        auto r = SampleResults();
        r->Outcome = c.outcome;
        r->Problem = c.problem;
        auto w = Open(r);
        EXPECT_TRUE(w->IncompleteLabel()->isVisible());
        const std::string banner = w->IncompleteLabel()->text().toStdString();
        EXPECT_NE(banner.find(c.banner), std::string::npos) << banner;
        EXPECT_NE(banner.find(c.problem), std::string::npos) << banner;
        EXPECT_NE(w->windowTitle().indexOf("(incomplete)"), -1);
        QTest::mouseClick(w->findChild<QPushButton*>("cmdCopyClip"), Qt::LeftButton);
        EXPECT_EQ(env.prompter.clipboard, w->ReportText());
        EXPECT_NE(env.prompter.clipboard.find(c.problem), std::string::npos);
        EXPECT_NE(env.prompter.clipboard.find("INCOMPLETE"), std::string::npos);
        EXPECT_EQ(env.prompter.clipboard.find("every object is identical"), std::string::npos);
    }
}

TEST_F(ResultsWindowTest, PrintWritesTheReport) {
    auto w = Open();
    const std::string pdf = env.PathOf("results.pdf");
    w->PrintView()->SetPrintOutputFile(QString::fromStdString(pdf));
    QTest::mouseClick(w->findChild<QPushButton*>("cmdPrint"), Qt::LeftButton);
    EXPECT_GT(std::filesystem::file_size(pdf), 0u);
    EXPECT_EQ(w->PrintView()->Text(), w->ReportText());
    EXPECT_TRUE(env.prompter.messages.empty());
}

TEST_F(ResultsWindowTest, TwentySixThousandObjectsListAndFilterAtOnce) {
    // The shape of a large database: 20,000 procedures of 25 lines and 6,500 other objects,
    // one in a hundred different.
    auto r = std::make_shared<DbCompareResults>();
    r->Types = {kTypeTable, kTypeProcedure, kTypeView};
    std::string body;
    for (int line = 0; line < 25; ++line)
        body += "    SELECT " + std::to_string(line) + " FROM dbo.Orders WHERE Id = @id\r\n";
    for (int i = 0; i < 26500; ++i) {
        const ObjectType type = i < 2000 ? kTypeTable : i < 22000 ? kTypeProcedure : kTypeView;
        const bool differs = i % 100 == 7;
        const std::string name = "obj" + std::to_string(100000 + i);
        r->Pairs.push_back(
            test::MakePair(type, differs ? PairStatus::Different : PairStatus::Identical, "dbo",
                           name, "CREATE " + name + "\r\n" + body,
                           "CREATE " + name + "\r\n" + body + (differs ? "--" : ""), i + 1, i + 1));
    }
    QElapsedTimer clock;
    clock.start();
    auto w = Open(r);
    const qint64 opened = clock.elapsed();
    EXPECT_EQ(w->ShownCount(), 26500);
    EXPECT_EQ(NameAt(*w, w->CurrentRow()), "dbo.obj100007");
    clock.restart();
    w->SetNamePattern("*1230?");
    w->SetStatusFilter(StatusFilter::AnyDifference);
    QApplication::processEvents();
    const qint64 filtered = clock.elapsed();
    EXPECT_EQ(w->ShownCount(), 1); // obj112307
    std::printf("26,500 objects: window open %lld ms, two filters %lld ms\n",
                static_cast<long long>(opened), static_cast<long long>(filtered));
    // Generous bounds: they catch work that grows with the square of the objects, not a slow
    // machine.
    EXPECT_LT(opened, 3000);
    EXPECT_LT(filtered, 3000);
}

TEST_F(ResultsWindowTest, ExitAndEscapeClose) {
    for (bool escape : {false, true}) {
        auto w = Open();
        if (escape)
            QTest::keyClick(w.get(), Qt::Key_Escape);
        else
            QTest::mouseClick(w->findChild<QPushButton*>("cmdExit"), Qt::LeftButton);
        EXPECT_FALSE(w->isVisible());
    }
}

} // namespace
} // namespace orv
