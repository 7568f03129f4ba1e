#include "util/memory_list_control.h"
#include "util/memory_prompter.h"
#include "util/memory_text_view.h"

#include <gtest/gtest.h>

#include <thread>

namespace orv {
namespace {

TEST(MemoryTextView, LineBreaksCountAsOneCharacterAndComeBackAsCrLf) {
    MemoryTextView v;
    v.SetText("ab\r\ncd\nef\rg");
    EXPECT_EQ(v.Text(), "ab\r\ncd\r\nef\r\ng");
    EXPECT_EQ(v.Lines(), 4);
    EXPECT_EQ(v.LineStart(0), 0);
    EXPECT_EQ(v.LineStart(1), 3);
    EXPECT_EQ(v.LineStart(2), 6);
    EXPECT_EQ(v.LineStart(3), 9);
    EXPECT_EQ(v.LineStart(4), -1);
    EXPECT_EQ(v.LineStart(-1), -1);
    v.SetSelStart(1);
    v.SetSelLength(4);
    EXPECT_EQ(v.SelText(), "b\r\ncd");
}

TEST(MemoryTextView, OffsetsCountCharactersNotBytes) {
    MemoryTextView v;
    v.SetText("ä😀x\r\nz");
    EXPECT_EQ(v.LineStart(1), 4);
    v.SetSelStart(1);
    v.SetSelLength(2);
    EXPECT_EQ(v.SelText(), "😀x");
}

TEST(MemoryTextView, ColouringStaysUntilTheTextIsReplaced) {
    MemoryTextView v;
    v.SetText("line one\r\nline two");
    v.SetSelStart(9);
    v.SetSelLength(8);
    v.SetSelBackColor(RGBColour(255, 0, 0));
    EXPECT_EQ(v.BackColorAt(8), 0u);
    EXPECT_EQ(v.BackColorAt(9), RGBColour(255, 0, 0));
    EXPECT_EQ(v.BackColorAt(16), RGBColour(255, 0, 0));
    v.SetText("line one\r\nline two");
    EXPECT_EQ(v.BackColorAt(9), 0u);
}

TEST(MemoryTextView, SelectionIsClampedToTheText) {
    MemoryTextView v;
    v.SetText("abc");
    v.SetSelStart(10);
    v.SetSelLength(5);
    EXPECT_EQ(v.SelStart(), 3);
    EXPECT_EQ(v.SelLength(), 0);
    EXPECT_EQ(v.SelText(), "");
}

TEST(MemoryListControl, ProgramSelectionRaisesTheSameEventAsAClick) {
    MemoryListControl list;
    std::vector<int> events;
    list.onSelectionChanged = [&](int row) { events.push_back(row); };
    list.AddColumn("Name", 100);
    list.AddColumn("Date", 50);
    list.AddColumn("Id", 0);
    list.SetColumnHidden(2, true);
    list.AddItem("alpha");
    list.AddItem("beta");
    list.SetCellText(1, 2, "42");
    list.SetSelected(1, true);
    EXPECT_EQ(events, std::vector<int>{1});
    EXPECT_EQ(list.CurrentRow(), 1);
    EXPECT_EQ(list.CurrentText(), "beta");
    EXPECT_EQ(list.CellText(1, 2), "42");
    EXPECT_EQ(list.RowText(0), std::string("alpha") + kListRowSeparator);
    EXPECT_EQ(list.SelCount(), 1);
    list.SetSelected(0, true);
    EXPECT_EQ(list.SelCount(), 1);
    EXPECT_FALSE(list.Selected(1));
}

TEST(MemoryListControl, ClearRemovesRowsAndMarksButKeepsTheTag) {
    MemoryListControl list;
    list.SetTag("OFF");
    list.AddItem("a");
    list.SetSelected(0, true);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.CurrentRow(), -1);
    EXPECT_EQ(list.CurrentText(), "");
    EXPECT_EQ(list.SelCount(), 0);
    EXPECT_EQ(list.Tag(), "OFF");
}

TEST(ThreadPrompterScope, TakesOnlyTheCallingThreadsMessagesAndLeavesTheInstalledPrompter) {
    MemoryPrompter installed;
    PrompterScope process(installed);
    MemoryPrompter mine;
    {
        ThreadPrompterScope scope(mine);
        CurrentPrompter().MessageBox(MsgIcon::Warning, "T", "from this thread");
        std::thread([] {
            CurrentPrompter().MessageBox(MsgIcon::Information, "T", "from another thread");
        }).join();
        {
            // A command's own scope inside still restores what was installed, not this thread's.
            MemoryPrompter inner;
            PrompterScope nested(inner);
        }
        EXPECT_EQ(&CurrentPrompter(), &mine);
    }
    ASSERT_EQ(mine.messages.size(), 1u);
    EXPECT_EQ(mine.messages[0].text, "from this thread");
    ASSERT_EQ(installed.messages.size(), 1u);
    EXPECT_EQ(installed.messages[0].text, "from another thread");
    EXPECT_EQ(&CurrentPrompter(), &installed);
}

} // namespace
} // namespace orv
