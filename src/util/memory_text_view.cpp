#include "util/memory_text_view.h"

#include "util/text.h"

#include <algorithm>

namespace orv {

namespace {
// Every line break form becomes one LF, so each counts as one character.
std::string NormaliseBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}
constexpr int kLinesPerPage = 60;
} // namespace

std::string MemoryTextView::Text() const {
    return ReplaceAll(text_, "\n", "\r\n");
}

void MemoryTextView::SetText(const std::string& text) {
    text_ = NormaliseBreaks(text);
    colours_.clear();
    lineStarts_.assign(1, 0);
    int64_t pos = 0;
    for (unsigned char c : text_) {
        if ((c & 0xC0) == 0x80)
            continue;
        ++pos;
        if (c == '\n')
            lineStarts_.push_back(pos);
    }
    length_ = pos;
    selStart_ = 0;
    selLength_ = 0;
}

std::string MemoryTextView::SelText() const {
    return ReplaceAll(Utf8Mid(text_, selStart_, selLength_), "\n", "\r\n");
}

void MemoryTextView::SetSelStart(int64_t start) {
    selStart_ = std::clamp<int64_t>(start, 0, length_);
    selLength_ = std::min(selLength_, length_ - selStart_);
}

void MemoryTextView::SetSelLength(int64_t length) {
    selLength_ = std::clamp<int64_t>(length, 0, length_ - selStart_);
}

void MemoryTextView::SetSelBackColor(Colour colour) {
    if (selLength_ > 0)
        colours_.push_back({selStart_, selLength_, colour});
}

int64_t MemoryTextView::Lines() const {
    return static_cast<int64_t>(lineStarts_.size());
}

int64_t MemoryTextView::LineStart(int64_t line) const {
    if (line < 0 || line >= Lines())
        return -1;
    return lineStarts_[static_cast<size_t>(line)];
}

void MemoryTextView::SetPageSize(int32_t widthTwips, int32_t heightTwips) {
    pageWidth = widthTwips;
    pageHeight = heightTwips;
}

int MemoryTextView::PageCount() const {
    return static_cast<int>((Lines() + kLinesPerPage - 1) / kLinesPerPage);
}

bool MemoryTextView::Print(const std::string& documentName, int, int, int) {
    printedDocuments.push_back(documentName);
    return true;
}

Colour MemoryTextView::BackColorAt(int64_t offset) const {
    // The latest colouring of a character wins, as on screen.
    for (auto it = colours_.rbegin(); it != colours_.rend(); ++it)
        if (offset >= it->start && offset < it->start + it->length)
            return it->colour;
    return 0;
}

} // namespace orv
