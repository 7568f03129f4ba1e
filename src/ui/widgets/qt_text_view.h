// The text view on a QPlainTextEdit: no wrapping, monospace 8.25 pt, offsets in characters
// with a line break counting one, colours as character formats of the document (a new text
// starts without any), printing through QPrinter.
#pragma once

#include "util/text_view.h"

#include <QPlainTextEdit>

namespace orv {

class QtTextView : public QPlainTextEdit, public TextView {
    Q_OBJECT
public:
    explicit QtTextView(QWidget* parent = nullptr);

    std::string Text() const override;
    void SetText(const std::string& text) override;
    std::string SelText() const override;
    int64_t SelStart() const override;
    void SetSelStart(int64_t start) override;
    int64_t SelLength() const override;
    void SetSelLength(int64_t length) override;
    void SetSelBackColor(Colour colour) override;
    bool FormatSwitch() const override { return formatSwitch_; }
    void SetFormatSwitch(bool on) override { formatSwitch_ = on; }
    int64_t Lines() const override;
    int64_t LineStart(int64_t line) const override;
    void SetPageSize(int32_t widthTwips, int32_t heightTwips) override;
    void SetFontSize(double points) override;
    void SetEditMode(int mode) override;
    int PageCount() const override;
    bool Print(const std::string& documentName, int firstPage, int lastPage, int copies) override;
    void SetFocus() override;

    // Background colour of the character at a character offset (invalid colour: none).
    QColor BackgroundAt(int64_t offset) const;
    // Printing goes to this PDF file instead of the default printer (tests).
    void SetPrintOutputFile(const QString& path) { printFile_ = path; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Character offsets <-> document positions (UTF-16 units); the same unless the text holds
    // characters outside the basic plane.
    int ToPosition(int64_t offset) const;
    int64_t ToOffset(int position) const;

    bool formatSwitch_ = false;
    bool wide_ = false;
    int64_t selStart_ = 0;
    QString printFile_;
    int32_t pageWidthTwips_ = 0, pageHeightTwips_ = 0;
};

} // namespace orv
