// A TextView kept in memory, for tests and the headless front end.
#pragma once

#include "util/text_view.h"

#include <vector>

namespace orv {

class MemoryTextView : public TextView {
public:
    std::string Text() const override;
    void SetText(const std::string& text) override;
    std::string SelText() const override;
    int64_t SelStart() const override { return selStart_; }
    void SetSelStart(int64_t start) override;
    int64_t SelLength() const override { return selLength_; }
    void SetSelLength(int64_t length) override;
    void SetSelBackColor(Colour colour) override;
    void ClearBackColors() override { colours_.clear(); }
    bool FormatSwitch() const override { return formatSwitch_; }
    void SetFormatSwitch(bool on) override { formatSwitch_ = on; }
    int64_t Lines() const override;
    int64_t LineStart(int64_t line) const override;
    void SetPageSize(int32_t widthTwips, int32_t heightTwips) override;
    void SetFontSize(double points) override { fontSize = points; }
    void SetEditMode(int mode) override { editMode = mode; }
    int PageCount() const override;
    bool Print(const std::string& documentName, int firstPage, int lastPage, int copies) override;
    void SetFocus() override { ++focusCount; }

    // Read back by tests: the background colour of the character at `offset` (0 = none).
    Colour BackColorAt(int64_t offset) const;
    // The text as stored: LF line breaks, one character each.
    const std::string& RawText() const { return text_; }

    int32_t pageWidth = 0, pageHeight = 0;
    double fontSize = 0;
    int editMode = 0;
    int focusCount = 0;
    std::vector<std::string> printedDocuments;

private:
    struct Range {
        int64_t start, length;
        Colour colour;
    };
    std::string text_; // LF line breaks
    std::vector<int64_t> lineStarts_{0};
    int64_t length_ = 0; // in characters
    int64_t selStart_ = 0, selLength_ = 0;
    bool formatSwitch_ = false;
    std::vector<Range> colours_;
};

} // namespace orv
