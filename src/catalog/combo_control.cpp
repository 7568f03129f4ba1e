#include "catalog/combo_control.h"

namespace orv {

void MemoryComboControl::Clear() {
    items_.clear();
    index_ = -1;
}

int MemoryComboControl::AddItem(const std::string& text) {
    items_.push_back({text, 0});
    return ListCount() - 1;
}

std::string MemoryComboControl::List(int index) const {
    return index >= 0 && index < ListCount() ? items_[static_cast<size_t>(index)].text
                                             : std::string();
}

int32_t MemoryComboControl::ItemData(int index) const {
    return index >= 0 && index < ListCount() ? items_[static_cast<size_t>(index)].data : 0;
}

void MemoryComboControl::SetItemData(int index, int32_t data) {
    if (index >= 0 && index < ListCount())
        items_[static_cast<size_t>(index)].data = data;
}

void MemoryComboControl::SetListIndex(int index) {
    index_ = index >= 0 && index < ListCount() ? index : -1;
}

void MemoryComboControl::SetTag(const std::string& tag) {
    tag_ = tag;
    tagHistory.push_back(tag);
}

} // namespace orv
