#include "ui/widgets/qt_text_view.h"

#include "ui/widgets/qt_text.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPageSize>
#include <QPrinter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <vector>

namespace orv {

namespace {
QColor FromColour(Colour c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

std::string WithCrLf(QString text) {
    text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
    return text.toStdString();
}

int ShiftState(Qt::KeyboardModifiers modifiers) {
    return ((modifiers & Qt::ShiftModifier) ? 1 : 0) | ((modifiers & Qt::ControlModifier) ? 2 : 0) |
           ((modifiers & Qt::AltModifier) ? 4 : 0);
}
} // namespace

QtTextView::QtTextView(QWidget* parent) : QPlainTextEdit(parent), note_(new QLabel(this)) {
    note_->setObjectName("lblNote");
    note_->setAutoFillBackground(true);
    note_->setBackgroundRole(QPalette::ToolTipBase);
    note_->setForegroundRole(QPalette::ToolTipText);
    note_->setContentsMargins(4, 0, 4, 0);
    note_->hide();
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setWordWrapMode(QTextOption::NoWrap);
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPointSizeF(8.25);
    setFont(f);
    // Right clicks reach the owner as mouse presses; only the keyboard's requests for the
    // context menu arrive as context menu events.
    setContextMenuPolicy(Qt::DefaultContextMenu);
    SetEditMode(1);
}

std::string QtTextView::Text() const {
    return WithCrLf(document()->toRawText());
}

void QtTextView::SetText(const std::string& text) {
    QString t = Q(text);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QChar('\r'), QChar('\n'));
    wide_ = false;
    for (QChar c : t)
        if (c.isSurrogate()) {
            wide_ = true;
            break;
        }
    // The document is refilled with default formats: the editor's own setPlainText would carry
    // the cursor's last format (a marking colour) into the new text.
    setCurrentCharFormat(QTextCharFormat());
    document()->setPlainText(t);
    QTextCursor c(document());
    setTextCursor(c);
    setCurrentCharFormat(QTextCharFormat());
    selStart_ = 0;
    emit TextReplaced();
}

std::string QtTextView::SelText() const {
    return WithCrLf(textCursor().selectedText());
}

int64_t QtTextView::SelStart() const {
    return ToOffset(textCursor().selectionStart());
}

void QtTextView::SetSelStart(int64_t start) {
    QTextCursor c = textCursor();
    c.setPosition(ToPosition(start));
    setTextCursor(c);
    selStart_ = ToOffset(c.position());
}

int64_t QtTextView::SelLength() const {
    QTextCursor c = textCursor();
    return ToOffset(c.selectionEnd()) - ToOffset(c.selectionStart());
}

void QtTextView::SetSelLength(int64_t length) {
    QTextCursor c = textCursor();
    int anchor = c.selectionStart();
    c.setPosition(anchor);
    c.setPosition(ToPosition(ToOffset(anchor) + std::max<int64_t>(0, length)),
                  QTextCursor::KeepAnchor);
    setTextCursor(c);
}

void QtTextView::SetSelBackColor(Colour colour) {
    QTextCursor c = textCursor();
    if (!c.hasSelection())
        return;
    QTextCharFormat f;
    f.setBackground(FromColour(colour));
    c.mergeCharFormat(f);
}

void QtTextView::ClearBackColors() {
    // The coloured fragments are gathered first: changing a format merges fragments under a
    // running iterator. A cursor of its own keeps the view's selection where the user left it.
    struct Coloured {
        int start, end;
        QTextCharFormat format;
    };
    std::vector<Coloured> coloured;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextCharFormat f = fragment.charFormat();
            if (!f.hasProperty(QTextFormat::BackgroundBrush))
                continue;
            f.clearBackground();
            coloured.push_back({fragment.position(), fragment.position() + fragment.length(), f});
        }
    QTextCursor c(document());
    for (const Coloured& range : coloured) {
        c.setPosition(range.start);
        c.setPosition(range.end, QTextCursor::KeepAnchor);
        c.setCharFormat(range.format);
    }
}

int64_t QtTextView::Lines() const {
    return document()->blockCount();
}

int64_t QtTextView::LineStart(int64_t line) const {
    if (line < 0 || line >= Lines())
        return -1;
    QTextBlock b = document()->findBlockByNumber(static_cast<int>(line));
    return b.isValid() ? ToOffset(b.position()) : -1;
}

void QtTextView::SetPageSize(int32_t widthTwips, int32_t heightTwips) {
    // Lines never wrap on screen, whatever the page; the size is kept for printing.
    pageWidthTwips_ = widthTwips;
    pageHeightTwips_ = heightTwips;
}

void QtTextView::SetFontSize(double points) {
    QFont f = font();
    f.setPointSizeF(points);
    setFont(f);
}

void QtTextView::SetEditMode(int mode) {
    setReadOnly(mode != 0);
    setTextInteractionFlags(mode != 0 ? (Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard)
                                      : Qt::TextEditorInteraction);
}

int QtTextView::PageCount() const {
    std::unique_ptr<QTextDocument> copy(document()->clone());
    QPrinter printer;
    copy->setPageSize(printer.pageLayout().paintRectPixels(printer.resolution()).size());
    return copy->pageCount();
}

bool QtTextView::Print(const std::string& documentName, int firstPage, int lastPage, int copies) {
    QPrinter printer;
    printer.setDocName(Q(documentName));
    if (!printFile_.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printFile_);
    }
    if (firstPage > 0 && lastPage >= firstPage)
        printer.setFromTo(firstPage, lastPage);
    printer.setCopyCount(std::max(1, copies));
    if (!printer.isValid())
        return false;
    document()->print(&printer);
    return true;
}

void QtTextView::SetFocus() {
    setFocus(Qt::OtherFocusReason);
}

QColor QtTextView::BackgroundAt(int64_t offset) const {
    const int pos = ToPosition(offset);
    QTextBlock block = document()->findBlock(pos);
    // A line break belongs to no fragment and so has no colour of its own.
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        QTextFragment fragment = it.fragment();
        if (fragment.contains(pos)) {
            QTextCharFormat f = fragment.charFormat();
            return f.hasProperty(QTextFormat::BackgroundBrush) ? f.background().color() : QColor();
        }
    }
    return QColor();
}

void QtTextView::mousePressEvent(QMouseEvent* event) {
    QPlainTextEdit::mousePressEvent(event);
    if (!onMouseDown)
        return;
    int button = event->button() == Qt::LeftButton     ? 1
                 : event->button() == Qt::RightButton  ? 2
                 : event->button() == Qt::MiddleButton ? 4
                                                       : 0;
    QPoint p = event->position().toPoint();
    onMouseDown(button, ShiftState(event->modifiers()), p.x() * 15, p.y() * 15);
}

void QtTextView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (event->reason() == QContextMenuEvent::Keyboard)
        RightClickAtCursor(event->modifiers());
}

void QtTextView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        event->accept();
        RightClickAtCursor(Qt::NoModifier);
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void QtTextView::RightClickAtCursor(Qt::KeyboardModifiers modifiers) {
    if (!onMouseDown)
        return;
    const QPoint p = cursorRect().bottomLeft();
    onMouseDown(2, ShiftState(modifiers), p.x() * 15, p.y() * 15);
}

void QtTextView::SetNote(const std::string& text) {
    if (Q(text) == noteText_)
        return;
    noteText_ = Q(text);
    note_->setToolTip(noteText_);
    note_->setVisible(!noteText_.isEmpty());
    // The text moves down by the note's line instead of being covered by it.
    setViewportMargins(0, noteText_.isEmpty() ? 0 : note_->fontMetrics().height() + 4, 0, 0);
    PlaceNote();
}

void QtTextView::PlaceNote() {
    if (noteText_.isEmpty()) {
        note_->clear();
        return;
    }
    const QRect area = contentsRect();
    note_->setGeometry(area.x(), area.y(), area.width(), note_->fontMetrics().height() + 4);
    note_->setText(
        note_->fontMetrics().elidedText(noteText_, Qt::ElideMiddle, note_->contentsRect().width()));
}

void QtTextView::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    PlaceNote();
}

void QtTextView::focusInEvent(QFocusEvent* event) {
    focusReason_ = event->reason();
    QPlainTextEdit::focusInEvent(event);
    if (onGotFocus)
        onGotFocus();
}

void QtTextView::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    if (onLostFocus)
        onLostFocus();
}

int QtTextView::ToPosition(int64_t offset) const {
    if (offset <= 0)
        return 0;
    const int count = document()->characterCount() - 1;
    if (!wide_)
        return static_cast<int>(std::min<int64_t>(offset, count));
    int pos = 0;
    int64_t seen = 0;
    while (pos < count && seen < offset) {
        QChar c = document()->characterAt(pos);
        pos += c.isHighSurrogate() ? 2 : 1;
        ++seen;
    }
    return std::min(pos, count);
}

int64_t QtTextView::ToOffset(int position) const {
    if (!wide_)
        return position;
    int64_t offset = 0;
    for (int pos = 0; pos < position; ++pos)
        if (!document()->characterAt(pos).isLowSurrogate())
            ++offset;
    return offset;
}

} // namespace orv
