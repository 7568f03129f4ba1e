// frmTimeout, "Set Timeout": the number of seconds a command may run before the data access
// layer gives up; 0 waits without limit.
#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace orv {

// True with the value when the trimmed text is numeric and, as a 32-bit whole number, 0 or more.
bool ValidateTimeout(const std::string& text, int32_t& value);

class frmTimeout : public QDialog {
    Q_OBJECT
public:
    explicit frmTimeout(QWidget* parent = nullptr);
    ~frmTimeout() override;

    // Stores a valid value as the setting and the program-wide value, or says it is not
    // valid; closes the dialog in either case.
    void OK();

    QLineEdit* TimeoutBox() const { return txtTimeout_; }
    std::string InfoText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* txtTimeout_;
    QLabel* lblInfo_;
    QPushButton* cmdOK_;
    QPushButton* cmdCancel_;
    bool activated_ = false;
};

} // namespace orv
