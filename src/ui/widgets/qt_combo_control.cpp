#include "ui/widgets/qt_combo_control.h"

#include "ui/widgets/qt_text.h"

namespace orv {

QtComboControl::QtComboControl(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    // Qt reports a change of index, and separately the user's choice of an entry (also of the
    // one already shown). A choice that changes the index arrives as both, change first.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        reportedChange_ = index;
        // Emptied or left without a current entry: nothing was chosen.
        if (index >= 0)
            emit Chosen(index);
    });
    connect(this, &QComboBox::activated, this, [this](int index) {
        const bool reported = reportedChange_ == index;
        reportedChange_ = kNoChange;
        if (!reported)
            emit Chosen(index);
    });
}

// Every way the user chooses starts here, so a change the program made earlier is never taken
// for the one a choice is about to cause.
void QtComboControl::showPopup() {
    reportedChange_ = kNoChange;
    QComboBox::showPopup();
}

void QtComboControl::keyPressEvent(QKeyEvent* event) {
    reportedChange_ = kNoChange;
    QComboBox::keyPressEvent(event);
}

void QtComboControl::wheelEvent(QWheelEvent* event) {
    reportedChange_ = kNoChange;
    QComboBox::wheelEvent(event);
}

int QtComboControl::AddItem(const std::string& text) {
    addItem(Q(text));
    return count() - 1;
}

std::string QtComboControl::List(int index) const {
    return index >= 0 && index < count() ? itemText(index).toStdString() : std::string();
}

int32_t QtComboControl::ItemData(int index) const {
    return index >= 0 && index < count() ? itemData(index).toInt() : 0;
}

void QtComboControl::SetItemData(int index, int32_t data) {
    if (index >= 0 && index < count())
        setItemData(index, data);
}

} // namespace orv
