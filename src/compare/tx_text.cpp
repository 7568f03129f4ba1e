#include "compare/tx_text.h"

#include "compare/run_time_error.h"
#include "core/error_report.h"
#include "core/registry.h"
#include "core/settings.h"
#include "util/prompter.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace orv {

namespace {

// The view's text with every line break as one LF, so byte walking and the view's character
// offsets agree on what a break is.
std::string OneCharBreaks(const std::string& text) {
    size_t cr = text.find('\r');
    if (cr == std::string::npos)
        return text;
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    while (cr != std::string::npos) {
        out.append(text, from, cr - from);
        out += '\n';
        from = cr + 1;
        if (from < text.size() && text[from] == '\n')
            ++from;
        cr = text.find('\r', from);
    }
    out.append(text, from, std::string::npos);
    return out;
}

bool IsAscii(const std::string& text) {
    // Eight bytes at a time: object texts run to megabytes and are nearly always plain ASCII.
    constexpr uint64_t kHighBits = 0x8080808080808080ull;
    size_t i = 0;
    uint64_t any = 0;
    for (; i + 8 <= text.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        any |= word;
    }
    for (; i < text.size(); ++i)
        any |= static_cast<unsigned char>(text[i]);
    return (any & kHighBits) == 0;
}

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Maps character offsets to byte offsets of a UTF-8 text. Line starts come in rising order, so
// the cursor only moves forward in the normal case and the whole split stays linear.
class CharCursor {
public:
    CharCursor(const std::string& text, bool ascii) : text_(text), ascii_(ascii) {}

    size_t ByteOf(int64_t charPos) {
        if (ascii_)
            return static_cast<size_t>(std::min<int64_t>(charPos, text_.size()));
        if (charPos < charPos_) {
            charPos_ = 0;
            bytePos_ = 0;
        }
        while (charPos_ < charPos && bytePos_ < text_.size()) {
            ++bytePos_;
            while (bytePos_ < text_.size() && IsContinuationByte(text_[bytePos_]))
                ++bytePos_;
            ++charPos_;
        }
        return bytePos_;
    }

private:
    const std::string& text_;
    bool ascii_;
    int64_t charPos_ = 0;
    size_t bytePos_ = 0;
};

int64_t CharLength(const std::string& text, bool ascii) {
    if (ascii)
        return static_cast<int64_t>(text.size());
    int64_t n = 0;
    for (char c : text)
        if (!IsContinuationByte(c))
            ++n;
    return n;
}

} // namespace

int64_t TXText_ConvTextToArray(const TextView& view, CompLines& lines, int32_t& errorCode) {
    return TXText_ConvTextToArray(view, std::string(), lines, errorCode);
}

int64_t TXText_ConvTextToArray(const TextView& view, const std::string& viewText, CompLines& lines,
                               int32_t& errorCode) {
    errorCode = 0;
    lines.clear();
    try {
        const int64_t lineCount = view.Lines();
        if (lineCount < 1)
            return 0;
        const std::string text = OneCharBreaks(viewText.empty() ? view.Text() : viewText);
        if (text.empty())
            return 0;
        const bool ascii = IsAscii(text);
        const int64_t textLength = CharLength(text, ascii);
        lines.resize(static_cast<size_t>(lineCount));
        CharCursor cursor(text, ascii);
        int64_t start = view.LineStart(0);
        for (int64_t n = 0; n < lineCount; ++n) {
            if (start == -1) {
                errorCode = -1;
                lines.clear();
                return 0;
            }
            int64_t end = textLength;
            int64_t nextStart = 0;
            if (n + 1 < lineCount) {
                nextStart = view.LineStart(n + 1);
                if (nextStart == -1) {
                    errorCode = -1;
                    return 0;
                }
                end = nextStart - 1;
            }
            if (end < start) {
                errorCode = -1;
                lines.clear();
                return 0;
            }
            CompLine& line = lines[static_cast<size_t>(n)];
            line.StartPos = start;
            line.EndPos = end;
            const size_t from = cursor.ByteOf(start);
            const size_t to = cursor.ByteOf(end);
            line.LineText.assign(text, from, to - from);
            start = nextStart;
        }
        return lineCount;
    } catch (...) {
        const RunTimeError e = CurrentRunTimeError();
        ReportUnexpected(e.Number, e.Description, "modTxText", "TXText_ConvTextToArray");
        errorCode = e.Number;
        lines.clear();
        return 0;
    }
}

std::string TXText_ConvArrayToText(const CompLines& lines, int64_t count, int32_t& errorCode) {
    errorCode = 0;
    try {
        if (count > static_cast<int64_t>(lines.size()))
            throw std::out_of_range("line " + std::to_string(count) + " of " +
                                    std::to_string(lines.size()));
        std::string out;
        size_t size = 0;
        for (int64_t i = 0; i < count; ++i)
            size += lines[static_cast<size_t>(i)].LineText.size() + 2;
        out.reserve(size);
        for (int64_t i = 0; i < count; ++i) {
            out += lines[static_cast<size_t>(i)].LineText;
            out += "\r\n";
        }
        return out;
    } catch (...) {
        const RunTimeError e = CurrentRunTimeError();
        errorCode = e.Number;
        CurrentPrompter().MessageBox(MsgIcon::Error, "TXText_ConvArrayToText",
                                     "Error: " + std::to_string(e.Number) + ". " + e.Description);
        return "";
    }
}

void TXText_CopyToClipboard(const TextView& view) {
    Prompter& prompter = CurrentPrompter();
    prompter.SetClipboardText("");
    CompLines lines;
    int32_t errorCode = 0;
    const int64_t count = TXText_ConvTextToArray(view, lines, errorCode);
    if (errorCode != 0 || count < 1)
        return;
    const std::string text = TXText_ConvArrayToText(lines, count, errorCode);
    if (errorCode == 0)
        prompter.SetClipboardText(text);
}

void SetRangeBackColor(TextView& view, Colour colour, int64_t startPos, int64_t endPos) {
    view.SetSelStart(startPos);
    view.SetSelLength(endPos - startPos);
    const bool saved = view.FormatSwitch();
    view.SetFormatSwitch(true);
    view.SetSelBackColor(colour);
    view.SetFormatSwitch(saved);
}

void InitializeTXTextControl(TextView& view) {
    int step = 0;
    int32_t pageWidth = 0, pageHeight = 0; // what the view has been given so far
    int32_t newWidth = 0, newHeight = 0;   // what the registry asked for
    try {
        step = 1;
        view.SetText("");
        // Step 2 (a display property of the old control) has no counterpart here.
        step = 3;
        const std::string key = kKeyTXText;
        step = 4;
        newWidth = GetRegDword(HKEY_CURRENT_USER, key, "PageWidth", kDefaultPageWidth);
        if (newWidth < kDefaultPageWidth)
            newWidth = kDefaultPageWidth;
        step = 5;
        // The view takes width and height together; it gets the height it already had until
        // step 7 knows the new one.
        view.SetPageSize(newWidth, pageHeight);
        pageWidth = newWidth;
        step = 6;
        newHeight = GetRegDword(HKEY_CURRENT_USER, key, "PageHeight", kDefaultPageHeight);
        step = 7;
        if (newHeight < kDefaultPageHeight)
            newHeight = kDefaultPageHeight;
        view.SetPageSize(pageWidth, newHeight);
        pageHeight = newHeight;
        step = 9;
        view.SetFontSize(kViewFontSize);
        step = 10;
        view.SetEditMode(Settings().DebugMode ? 0 : 1);
    } catch (...) {
        const RunTimeError e = CurrentRunTimeError();
        CurrentPrompter().MessageBox(MsgIcon::Warning, "",
                                     "Error in Sub InitializeTXTextControl, error nr " +
                                         std::to_string(e.Number) + " (" + e.Description + ")." +
                                         "\r\nPageWidth = " + std::to_string(pageWidth) +
                                         ", PageHeight = " + std::to_string(pageHeight) +
                                         ", new PageWidth = " + std::to_string(newWidth) +
                                         ", new PageHeight = " + std::to_string(newHeight) +
                                         "\r\nLine num = " + std::to_string(step));
    }
}

CompLines SplitIntoLines(const std::string& text) {
    CompLines lines;
    const std::string one = OneCharBreaks(text);
    if (one.empty())
        return lines;
    int64_t charPos = 0;
    size_t lineByte = 0;
    int64_t lineStart = 0;
    for (size_t i = 0; i <= one.size(); ++i) {
        if (i == one.size() || one[i] == '\n') {
            CompLine line;
            line.LineText.assign(one, lineByte, i - lineByte);
            line.StartPos = lineStart;
            line.EndPos = charPos;
            lines.push_back(std::move(line));
            ++charPos;
            lineByte = i + 1;
            lineStart = charPos;
        } else if (!IsContinuationByte(one[i])) {
            ++charPos;
        }
    }
    return lines;
}

} // namespace orv
