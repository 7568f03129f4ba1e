// The drop-down selector contract on a QComboBox: item data as whole numbers, and the tag of
// the "OFF" convention.
#pragma once

#include "catalog/combo_control.h"

#include <QComboBox>

namespace orv {

class QtComboControl : public QComboBox, public ComboControl {
    Q_OBJECT
public:
    explicit QtComboControl(QWidget* parent = nullptr);

    void Clear() override { clear(); }
    int AddItem(const std::string& text) override;
    int ListCount() const override { return count(); }
    std::string List(int index) const override;
    int32_t ItemData(int index) const override;
    void SetItemData(int index, int32_t data) override;
    int ListIndex() const override { return currentIndex(); }
    void SetListIndex(int index) override { setCurrentIndex(index); }
    std::string Tag() const override { return tag_; }
    void SetTag(const std::string& tag) override { tag_ = tag; }

private:
    std::string tag_;
};

} // namespace orv
