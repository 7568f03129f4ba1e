#include "ui/widgets/qt_combo_control.h"

namespace orv {

QtComboControl::QtComboControl(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
}

int QtComboControl::AddItem(const std::string& text) {
    addItem(QString::fromStdString(text));
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
