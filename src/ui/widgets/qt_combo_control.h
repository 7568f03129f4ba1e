// The drop-down selector contract on a QComboBox: item data as whole numbers, the tag of the
// "OFF" convention, and the click of a classic drop-down list.
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

signals:
    // The selector's click: the program made another entry current, or the user chose an entry,
    // the one already shown included. Once per change or choice.
    void Chosen(int index);

protected:
    void showPopup() override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    static constexpr int kNoChange = -2;

    std::string tag_;
    // The index a change has just been reported for; the user's choice that caused it, which
    // Qt reports separately right after, is then not reported again.
    int reportedChange_ = kNoChange;
};

} // namespace orv
