#include "core/paths.h"
#include "ui/widgets/frm_help.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_prompter.h"
#include "ui/widgets/qt_text_view.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <gtest/gtest.h>

#include <optional>
#include <tuple>

namespace orv {
namespace {

TEST(QtTextView, OffsetsCountALineBreakAsOneCharacterAndTextComesBackWithCrLf) {
    QtTextView v;
    v.SetText("create proc p\r\nas\rselect 1\n\xC2\xA0x");
    EXPECT_EQ(v.Text(), "create proc p\r\nas\r\nselect 1\r\n\xC2\xA0x");
    EXPECT_EQ(v.Lines(), 4);
    EXPECT_EQ(v.LineStart(1), 14);
    EXPECT_EQ(v.LineStart(2), 17);
    EXPECT_EQ(v.LineStart(3), 26);
    EXPECT_EQ(v.LineStart(4), -1);
    v.SetSelStart(12);
    v.SetSelLength(4);
    EXPECT_EQ(v.SelStart(), 12);
    EXPECT_EQ(v.SelLength(), 4);
    EXPECT_EQ(v.SelText(), "p\r\nas");
}

TEST(QtTextView, CharactersOutsideTheBasicPlaneCountOnce) {
    QtTextView v;
    v.SetText("a😀b\r\n😀c");
    EXPECT_EQ(v.LineStart(1), 4);
    v.SetSelStart(1);
    v.SetSelLength(2);
    EXPECT_EQ(v.SelText(), "😀b");
    v.SetSelStart(4);
    v.SetSelLength(2);
    v.SetSelBackColor(RGBColour(0, 255, 0));
    EXPECT_EQ(v.BackgroundAt(5), QColor(0, 255, 0));
    EXPECT_FALSE(v.BackgroundAt(3).isValid());
}

TEST(QtTextView, ColoursStayOnTheirRangeUntilTheTextIsReplaced) {
    QtTextView v;
    v.SetText("one\r\ntwo\r\nthree");
    v.SetSelStart(4);
    v.SetSelLength(3);
    v.SetSelBackColor(RGBColour(255, 0, 0));
    EXPECT_FALSE(v.BackgroundAt(3).isValid());
    EXPECT_EQ(v.BackgroundAt(4), QColor(255, 0, 0));
    EXPECT_EQ(v.BackgroundAt(6), QColor(255, 0, 0));
    EXPECT_FALSE(v.BackgroundAt(8).isValid());
    v.SetText("one\r\ntwo\r\nthree");
    EXPECT_FALSE(v.BackgroundAt(4).isValid());
}

TEST(QtTextView, ReadOnlyModeStillSelectsAndLinesDoNotWrap) {
    QtTextView v;
    v.SetEditMode(1);
    EXPECT_TRUE(v.isReadOnly());
    v.SetEditMode(0);
    EXPECT_FALSE(v.isReadOnly());
    v.resize(100, 100);
    v.SetText(std::string(500, 'x'));
    EXPECT_EQ(v.Lines(), 1);
    EXPECT_EQ(v.lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_DOUBLE_EQ(v.font().pointSizeF(), 8.25);
}

TEST(QtTextView, RightButtonReachesTheOwnerAsButtonTwo) {
    QtTextView v;
    v.resize(200, 100);
    v.show();
    int button = 0;
    v.onMouseDown = [&](int b, int, int, int) { button = b; };
    QTest::mousePress(v.viewport(), Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(button, 2);
}

TEST(QtTextView, PrintsToAFile) {
    QTemporaryDir dir;
    QtTextView v;
    v.SetText("report line\r\nsecond line");
    v.SetPrintOutputFile(dir.filePath("out.pdf"));
    EXPECT_GE(v.PageCount(), 1);
    EXPECT_TRUE(v.Print("Report", 0, 0, 1));
    QFile pdf(dir.filePath("out.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
}

// The help pages show in the program's own window: an opener of the desktop that fails (no
// browser set up) plays no part, and is not even started; a missing page is not shown.
TEST(QtPrompter, AHelpPageShowsInTheProgramsWindowWhateverTheDesktopsOpenerDoes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string savedHelp = Paths().HelpFolder;
    const QByteArray savedPath = qgetenv("PATH");
    Paths().HelpFolder = dir.path().toStdString() + "/";
    QFile page(dir.filePath("10.html"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("<html><head><title>Ten</title></head><body>page ten</body></html>");
    page.close();
    QFile script(dir.filePath("xdg-open"));
    script.open(QIODevice::WriteOnly | QIODevice::Truncate);
    script.write("#!/bin/sh\necho \"$1\" > \"$(dirname \"$0\")/opened\"\nexit 3\n");
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("PATH", dir.path().toUtf8() + ":" + savedPath);
    QtPrompter prompter;
    EXPECT_TRUE(prompter.OpenHelpTopic(10));
    ASSERT_NE(frmHelp::Current(), nullptr);
    EXPECT_EQ(frmHelp::Current()->windowTitle().toStdString(), "Ten");
    EXPECT_EQ(frmHelp::Current()->Browser()->toPlainText().toStdString(), "page ten");
    EXPECT_FALSE(QFile::exists(dir.filePath("opened")));
    EXPECT_FALSE(prompter.OpenHelpTopic(230)); // no such page
    EXPECT_EQ(frmHelp::Current()->Page().fileName().toStdString(), "10.html");
    delete frmHelp::Current();
    qputenv("PATH", savedPath);
    Paths().HelpFolder = savedHelp;
}

// A question whose Yes changes a database: Enter and Esc both answer No, and Yes must be
// chosen; a plain Yes/No question still takes Enter as Yes.
TEST(QtPrompter, AQuestionThatDefaultsToNoNeedsYesChosen) {
    const struct {
        MsgButtons buttons;
        int key;
        MsgAnswer expected;
    } cases[] = {
        {MsgButtons::YesNoDefaultNo, Qt::Key_Return, MsgAnswer::No},
        {MsgButtons::YesNoDefaultNo, Qt::Key_Escape, MsgAnswer::No},
        {MsgButtons::YesNoDefaultNo, Qt::Key_Y, MsgAnswer::Yes},
        {MsgButtons::YesNo, Qt::Key_Return, MsgAnswer::Yes},
    };
    for (const auto& c : cases) {
        QTimer::singleShot(0, [&c] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            QTest::keyClick(box, static_cast<Qt::Key>(c.key));
        });
        QtPrompter prompter;
        EXPECT_EQ(prompter.MessageBox(MsgIcon::Question, "Run on Target", "Run it?", c.buttons),
                  c.expected)
            << static_cast<int>(c.buttons) << " key " << c.key;
    }
}

// A save dialog given a bare file name opens in the documents folder, never the program's
// folder (a system folder once installed), and afterwards in the folder last chosen; a path
// with a folder is kept.
TEST(QtPrompter, SaveDialogsStartInTheDocumentsFolderThenTheLastOneUsed) {
    QTemporaryDir docs, other;
    ASSERT_TRUE(docs.isValid() && other.isValid());
    const std::string savedData = Paths().DataFolder;
    const std::string savedProgram = Paths().ProgramFolder;
    Paths().DataFolder = docs.path().toStdString() + "/";
    Paths().ProgramFolder = "/usr/bin/";
    QtPrompter prompter;
    FileDialogRequest request;
    request.title = "Export Data";
    request.filter = "CSV files (*.csv)|*.csv";
    request.proposedPath = "Items.csv";
    // Shows the dialog, notes where it opened and what name it proposed, and answers.
    const auto ask = [&](const QString& answer) {
        QString folder, name;
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            folder = d->directory().absolutePath();
            const QStringList chosen = d->selectedFiles();
            name = chosen.isEmpty() ? QString() : QFileInfo(chosen.first()).fileName();
            if (answer.isEmpty()) {
                d->reject();
            } else {
                d->selectFile(answer);
                QMetaObject::invokeMethod(d, "accept", Qt::DirectConnection);
            }
        });
        const std::optional<std::string> got = prompter.FileDialog(request);
        return std::make_tuple(folder.toStdString(), name.toStdString(), got);
    };
    auto [first, name, chosen] = ask(other.filePath("out.csv"));
    EXPECT_EQ(first, docs.path().toStdString());
    EXPECT_EQ(name, "Items.csv");
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, other.filePath("out.csv").toStdString());
    auto [second, name2, cancelled] = ask("");
    EXPECT_EQ(second, other.path().toStdString()) << "the folder last used";
    EXPECT_FALSE(cancelled);
    request.proposedPath = docs.filePath("kept.csv").toStdString();
    auto [third, name3, none] = ask("");
    EXPECT_EQ(third, docs.path().toStdString()) << "a given folder is kept";
    EXPECT_EQ(QtPrompter::StartPath("a.txt"), other.filePath("a.txt").toStdString());
    Paths().DataFolder = savedData;
    Paths().ProgramFolder = savedProgram;
}

TEST(QtListControl, AClickAndAProgramMarkRaiseTheSameEvent) {
    QtListControl list;
    list.resize(300, 200);
    list.AddColumn("Name", 150);
    list.AddColumn("Date", 80);
    list.AddColumn("Id", 0);
    list.SetColumnHidden(2, true);
    for (const char* n : {"alpha", "beta", "gamma"})
        list.AddItem(n);
    list.SetCellText(2, 2, "77");
    list.show();
    std::vector<int> events;
    list.onSelectionChanged = [&](int row) { events.push_back(row); };

    list.SetSelected(1, true);
    EXPECT_EQ(list.CurrentRow(), 1);
    EXPECT_EQ(list.CurrentText(), "beta");
    QRect r = list.visualItemRect(list.topLevelItem(2));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, r.center());
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], 1);
    EXPECT_EQ(events[1], 2);
    EXPECT_EQ(list.CurrentText(), "gamma");
    EXPECT_EQ(list.CellText(2, 2), "77"); // hidden columns keep their texts
    EXPECT_EQ(list.SelCount(), 1);
    EXPECT_FALSE(list.Selected(1));
    EXPECT_EQ(list.RowText(0), std::string("alpha") + kListRowSeparator);
}

TEST(QtListControl, ClearEmptiesRowsAndCurrentRowButKeepsColumnsAndTag) {
    QtListControl list;
    list.AddColumn("Name", 100);
    list.SetTag("OFF");
    list.AddItem("x");
    list.SetSelected(0, true);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.CurrentRow(), -1);
    EXPECT_EQ(list.CurrentText(), "");
    EXPECT_EQ(list.ColumnCount(), 1);
    EXPECT_EQ(list.Tag(), "OFF");
}

} // namespace
} // namespace orv
