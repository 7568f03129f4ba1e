// What the program needs of a rich text view: whole text, selection, range colouring, line
// arithmetic, page size, font size, edit mode, printing. Offsets are 0-based character
// positions in which a line break counts as ONE character; the comparison's line arithmetic
// relies on that. Text() hands line breaks back as CR LF.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace orv {

// Colours are classic 0x00BBGGRR numbers.
using Colour = uint32_t;
constexpr Colour RGBColour(int r, int g, int b) {
    return static_cast<Colour>(r) | (static_cast<Colour>(g) << 8) | (static_cast<Colour>(b) << 16);
}

class TextView {
public:
    virtual ~TextView() = default;

    // Writing replaces the content and removes every colour of the old text.
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
    virtual std::string SelText() const = 0;
    virtual int64_t SelStart() const = 0;
    virtual void SetSelStart(int64_t start) = 0;
    virtual int64_t SelLength() const = 0;
    virtual void SetSelLength(int64_t length) = 0;
    // Background colour of the selected characters; stays until the text is replaced.
    virtual void SetSelBackColor(Colour colour) = 0;
    // Removes every background colour, keeping the text and the selection.
    virtual void ClearBackColors() = 0;
    // The view's one formatting switch that the marking reads, sets and restores.
    virtual bool FormatSwitch() const = 0;
    virtual void SetFormatSwitch(bool on) = 0;
    virtual int64_t Lines() const = 0;
    // Start offset of 0-based line `line`, or -1 when there is no such line.
    virtual int64_t LineStart(int64_t line) const = 0;
    virtual void SetPageSize(int32_t widthTwips, int32_t heightTwips) = 0;
    virtual void SetFontSize(double points) = 0;
    // 0: the user may edit; 1: read-only, still selectable.
    virtual void SetEditMode(int mode) = 0;
    virtual int PageCount() const = 0;
    virtual bool Print(const std::string& documentName, int firstPage, int lastPage,
                       int copies) = 0;
    virtual void SetFocus() = 0;

    // Events: mouse button pressed (button 2 = right), focus gained, focus lost.
    std::function<void(int button, int shift, int x, int y)> onMouseDown;
    std::function<void()> onGotFocus;
    std::function<void()> onLostFocus;
};

} // namespace orv
