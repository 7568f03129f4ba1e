// The behaviour the settings dialogs give their number boxes: only the digits and Backspace
// get through from the keyboard, and the box selects its whole text when it receives the focus.
#pragma once

#include <QObject>

#include <cstdint>
#include <string>

class QLineEdit;

namespace orv {

class NumericBoxFilter : public QObject {
    Q_OBJECT
public:
    // Installs itself on `box` (and is owned by it).
    static void Install(QLineEdit* box);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};

// The leading whole number of a text as the classic Val reads it: blanks skipped, digits up
// to the first other character, 0 when there are none; clamped to the 32-bit range.
int32_t LeadingNumber(const std::string& text);

} // namespace orv
