// What the catalog needs of a drop-down selector (the type selector and the owner selectors):
// items with a whole-number item data, the current item, and the free-text tag of the "OFF"
// convention. The main window adapts its widgets to this; MemoryComboControl serves tests and
// the headless front end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orv {

class ComboControl {
public:
    virtual ~ComboControl() = default;
    virtual void Clear() = 0;
    // Returns the new item's 0-based index.
    virtual int AddItem(const std::string& text) = 0;
    virtual int ListCount() const = 0;
    virtual std::string List(int index) const = 0;
    virtual int32_t ItemData(int index) const = 0;
    virtual void SetItemData(int index, int32_t data) = 0;
    // -1 when nothing is chosen.
    virtual int ListIndex() const = 0;
    virtual void SetListIndex(int index) = 0;
    virtual std::string Tag() const = 0;
    virtual void SetTag(const std::string& tag) = 0;

    // The current item's text, empty when none.
    std::string Text() const { return List(ListIndex()); }
    // The current item's data, 0 when none.
    int32_t CurrentItemData() const { return ListIndex() < 0 ? 0 : ItemData(ListIndex()); }
};

class MemoryComboControl : public ComboControl {
public:
    void Clear() override;
    int AddItem(const std::string& text) override;
    int ListCount() const override { return static_cast<int>(items_.size()); }
    std::string List(int index) const override;
    int32_t ItemData(int index) const override;
    void SetItemData(int index, int32_t data) override;
    int ListIndex() const override { return index_; }
    void SetListIndex(int index) override;
    std::string Tag() const override { return tag_; }
    void SetTag(const std::string& tag) override;

    // Read back by tests: every tag value ever set, in order.
    std::vector<std::string> tagHistory;

private:
    struct Item {
        std::string text;
        int32_t data = 0;
    };
    std::vector<Item> items_;
    int index_ = -1;
    std::string tag_;
};

} // namespace orv
