// A view's text as line records and back, painting, the clipboard and a view's initial state.
#include "compare/tx_text.h"
#include "test_compare_support.h"

#include <new>

namespace orv {
namespace {

using test::CompareTest;

// A view whose line arithmetic is broken at one line.
class BrokenLineView : public MemoryTextView {
public:
    int64_t badLine = 1;
    int64_t LineStart(int64_t line) const override {
        return line == badLine ? -1 : MemoryTextView::LineStart(line);
    }
};

// A view whose line starts run backwards.
class BackwardsView : public MemoryTextView {
public:
    int64_t LineStart(int64_t line) const override { return line == 1 ? 0 : 5; }
};

class ThrowingView : public MemoryTextView {
public:
    std::string Text() const override { throw std::bad_alloc(); }
};

using CompareLines = CompareTest;

TEST_F(CompareLines, SplitsAViewIntoLinesWithOneCharacterBreaks) {
    MemoryTextView view;
    view.SetText("ab\r\n\r\ncdé\r\nlast");
    CompLines lines;
    int32_t err = 99;
    ASSERT_EQ(TXText_ConvTextToArray(view, lines, err), 4);
    EXPECT_EQ(err, 0);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].LineText, "ab");
    EXPECT_EQ(lines[0].StartPos, 0);
    EXPECT_EQ(lines[0].EndPos, 2);
    EXPECT_EQ(lines[1].LineText, "");
    EXPECT_EQ(lines[1].StartPos, 3);
    EXPECT_EQ(lines[1].EndPos, 3);
    // Offsets count characters, not bytes.
    EXPECT_EQ(lines[2].LineText, "cdé");
    EXPECT_EQ(lines[2].StartPos, 4);
    EXPECT_EQ(lines[2].EndPos, 7);
    EXPECT_EQ(lines[3].LineText, "last");
    EXPECT_EQ(lines[3].StartPos, 8);
    EXPECT_EQ(lines[3].EndPos, 12);
    for (const auto& l : lines)
        EXPECT_EQ(l.Status, LineUnmarked);
}

TEST_F(CompareLines, EmptyViewGivesNoLinesAndATrailingBreakGivesAnEmptyLastLine) {
    MemoryTextView view;
    CompLines lines{CompLine{"stale"}};
    int32_t err = 5;
    EXPECT_EQ(TXText_ConvTextToArray(view, lines, err), 0);
    EXPECT_EQ(err, 0);
    EXPECT_TRUE(lines.empty());

    view.SetText("x\r\n");
    ASSERT_EQ(TXText_ConvTextToArray(view, lines, err), 2);
    EXPECT_EQ(lines[1].LineText, "");
    EXPECT_EQ(lines[1].StartPos, 2);
    EXPECT_EQ(lines[1].EndPos, 2);
}

TEST_F(CompareLines, ImpossibleLinePositionsGiveMinusOne) {
    BrokenLineView broken;
    broken.SetText("a\r\nb\r\nc");
    CompLines lines;
    int32_t err = 0;
    EXPECT_EQ(TXText_ConvTextToArray(broken, lines, err), 0);
    EXPECT_EQ(err, -1);
    broken.badLine = 2; // the last line: found while computing the end of line 2
    EXPECT_EQ(TXText_ConvTextToArray(broken, lines, err), 0);
    EXPECT_EQ(err, -1);

    BackwardsView backwards;
    backwards.SetText("hello\r\nworld");
    EXPECT_EQ(TXText_ConvTextToArray(backwards, lines, err), 0);
    EXPECT_EQ(err, -1);
    EXPECT_TRUE(reports.empty());
}

TEST_F(CompareLines, RunTimeErrorIsReportedAndBecomesTheErrorCode) {
    ThrowingView view;
    view.SetText("a");
    CompLines lines;
    int32_t err = 0;
    EXPECT_EQ(TXText_ConvTextToArray(view, lines, err), 0);
    EXPECT_EQ(err, 7);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].ErrNum, 7);
    EXPECT_EQ(reports[0].ModuleName, "modTxText");
    EXPECT_EQ(reports[0].ProcName, "TXText_ConvTextToArray");
}

TEST_F(CompareLines, ArrayToTextEndsEveryLineWithCrLf) {
    CompLines lines = SplitIntoLines("a\nb\r\nc");
    int32_t err = 1;
    EXPECT_EQ(TXText_ConvArrayToText(lines, 3, err), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(err, 0);
    EXPECT_EQ(TXText_ConvArrayToText(lines, 2, err), "a\r\nb\r\n");
    EXPECT_EQ(TXText_ConvArrayToText(lines, 0, err), "");
    EXPECT_TRUE(prompter.messages.empty());

    // Asking for more lines than there are is a run-time error with its own message box.
    EXPECT_EQ(TXText_ConvArrayToText(lines, 4, err), "");
    EXPECT_EQ(err, 9);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].title, "TXText_ConvArrayToText");
    EXPECT_EQ(prompter.messages[0].text.rfind("Error: 9. ", 0), 0u);
}

TEST_F(CompareLines, SplitIntoLinesAgreesWithTheView) {
    const std::string text = "one\r\ntwö\r\n\r\nthree\r\n";
    MemoryTextView view;
    view.SetText(text);
    CompLines fromView;
    int32_t err = 0;
    TXText_ConvTextToArray(view, fromView, err);
    CompLines split = SplitIntoLines(text);
    ASSERT_EQ(split.size(), fromView.size());
    for (size_t i = 0; i < split.size(); ++i) {
        EXPECT_EQ(split[i].LineText, fromView[i].LineText) << i;
        EXPECT_EQ(split[i].StartPos, fromView[i].StartPos) << i;
        EXPECT_EQ(split[i].EndPos, fromView[i].EndPos) << i;
    }
    EXPECT_TRUE(SplitIntoLines("").empty());
}

TEST_F(CompareLines, CopyToClipboardEmptiesItFirstAndPutsEveryLineWithCrLf) {
    MemoryTextView view;
    view.SetText("a\r\nb");
    prompter.clipboard = "old";
    TXText_CopyToClipboard(view);
    EXPECT_EQ(prompter.clipboard, "a\r\nb\r\n");

    MemoryTextView empty;
    TXText_CopyToClipboard(empty);
    EXPECT_EQ(prompter.clipboard, "");
}

TEST_F(CompareLines, RangeColourLeavesTheFormatSwitchAsFound) {
    MemoryTextView view;
    view.SetText("abcdef");
    view.SetFormatSwitch(false);
    SetRangeBackColor(view, RGBColour(1, 2, 3), 1, 4);
    EXPECT_FALSE(view.FormatSwitch());
    EXPECT_EQ(view.BackColorAt(0), 0u);
    EXPECT_EQ(view.BackColorAt(1), RGBColour(1, 2, 3));
    EXPECT_EQ(view.BackColorAt(3), RGBColour(1, 2, 3));
    EXPECT_EQ(view.BackColorAt(4), 0u);
    // The range stays selected.
    EXPECT_EQ(view.SelStart(), 1);
    EXPECT_EQ(view.SelLength(), 3);
    view.SetFormatSwitch(true);
    SetRangeBackColor(view, RGBColour(9, 9, 9), 0, 1);
    EXPECT_TRUE(view.FormatSwitch());
}

TEST_F(CompareLines, StatusColours) {
    EXPECT_EQ(StatusToColor(LineUnmarked), 65535u);
    EXPECT_EQ(StatusToColor(LineSame), 16777215u);
    EXPECT_EQ(StatusToColor(LineChanged), 12648384u);
    EXPECT_EQ(StatusToColor(LineOnlyInTarget), 14271354u);
    EXPECT_EQ(StatusToColor(LineOnlyInSource), 12632319u);
    EXPECT_EQ(StatusToColor(15), 0u);
    EXPECT_EQ(StatusToColor(-1), 0u);
}

TEST_F(CompareLines, InitialStateTakesPageSizeFromTheRegistryButNeverBelowDefaults) {
    MemoryTextView view;
    view.SetText("old");
    Settings().DebugMode = false;
    InitializeTXTextControl(view);
    EXPECT_EQ(view.Text(), "");
    EXPECT_EQ(view.pageWidth, 20000);
    EXPECT_EQ(view.pageHeight, 15840);
    EXPECT_DOUBLE_EQ(view.fontSize, 8.25);
    EXPECT_EQ(view.editMode, 1);

    SetRegDword(HKEY_CURRENT_USER, kKeyTXText, "PageWidth", 30000);
    SetRegDword(HKEY_CURRENT_USER, kKeyTXText, "PageHeight", 100);
    Settings().DebugMode = true;
    InitializeTXTextControl(view);
    EXPECT_EQ(view.pageWidth, 30000);
    EXPECT_EQ(view.pageHeight, 15840);
    EXPECT_EQ(view.editMode, 0);
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(CompareLines, InitialStateFailureNamesTheStep) {
    class NoFontView : public MemoryTextView {
    public:
        void SetFontSize(double) override { throw std::runtime_error("no fonts"); }
    } view;
    Settings().DebugMode = false;
    InitializeTXTextControl(view);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].icon, MsgIcon::Warning);
    EXPECT_EQ(prompter.messages[0].text,
              "Error in Sub InitializeTXTextControl, error nr 5 (no fonts).\r\n"
              "PageWidth = 20000, PageHeight = 15840, new PageWidth = 20000, new PageHeight = "
              "15840\r\nLine num = 9");
    EXPECT_EQ(view.editMode, 0); // the steps after the failing one were skipped
}

} // namespace
} // namespace orv
