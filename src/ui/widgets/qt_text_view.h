// The text view on a QPlainTextEdit: no wrapping, monospace 8.25 pt, offsets in characters
// with a line break counting one, colours as character formats of the document (a new text
// starts without any), printing through QPrinter.
#pragma once

#include "util/text_view.h"

#include <QPlainTextEdit>

class QLabel;

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
    void ClearBackColors() override;
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
    // A one-line note shown above the text (a name too long for it is shortened in the middle,
    // the tooltip holds it whole); empty text removes it. The text itself is not touched.
    void SetNote(const std::string& text);
    QLabel* NoteLabel() const { return note_; }

    // Why the view last got the focus (read by the focus handler).
    Qt::FocusReason LastFocusReason() const { return focusReason_; }
    // Printing goes to this PDF file instead of the default printer (tests, and a report
    // saved as PDF where there is no printer).
    void SetPrintOutputFile(const QString& path) { printFile_ = path; }
    QString PrintOutputFile() const { return printFile_; }

signals:
    // A new text replaced the whole content (and with it any marking).
    void TextReplaced();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    // The keyboard's menu key and Shift+F10 act as a right click at the text cursor, so the
    // context menu is within reach without the mouse.
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Character offsets <-> document positions (UTF-16 units); the same unless the text holds
    // characters outside the basic plane.
    int ToPosition(int64_t offset) const;
    int64_t ToOffset(int position) const;
    void RightClickAtCursor(Qt::KeyboardModifiers modifiers);
    void PlaceNote();

    QLabel* note_;
    QString noteText_;
    bool formatSwitch_ = false;
    Qt::FocusReason focusReason_ = Qt::OtherFocusReason;
    bool wide_ = false;
    int64_t selStart_ = 0;
    QString printFile_;
    int32_t pageWidthTwips_ = 0, pageHeightTwips_ = 0;
};

} // namespace orv
