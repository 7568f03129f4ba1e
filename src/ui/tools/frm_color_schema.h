// frmColorSchema, "Color Schema": what each background colour of the text views means after a
// comparison, painted with the very colours the marking uses.
#pragma once

#include <QDialog>

#include <cstdint>

class QTableWidget;

namespace orv {

class frmColorSchema : public QDialog {
    Q_OBJECT
public:
    explicit frmColorSchema(QWidget* parent = nullptr);
    QTableWidget* Legend() const { return grdLegend_; }

    static constexpr int kHelpTopic = 553;

private:
    QTableWidget* grdLegend_;
};

// The meaning shown for a line status, empty for a status the marking never leaves.
const char* LineStatusMeaning(int32_t status);

} // namespace orv
