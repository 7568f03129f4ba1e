#include "ui/tools/frm_color_schema.h"

#include "compare/comp_line.h"
#include "core/help_topic.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace orv {

namespace {

struct Entry {
    int32_t status;
    const char* name;
};

// The statuses a comparison leaves on the lines, in the order a reader meets them.
constexpr Entry kEntries[] = {{LineSame, "Same"},
                              {LineChanged, "Changed"},
                              {LineOnlyInSource, "Only in Source"},
                              {LineOnlyInTarget, "Only in Target"}};

QColor FromColour(Colour c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

} // namespace

const char* LineStatusMeaning(int32_t status) {
    switch (status) {
    case LineSame:
        return "The line has an equal partner on the other side.";
    case LineChanged:
        return "The line is paired with a different line on the other side.";
    case LineOnlyInSource:
        return "A Source line with no partner in the Target.";
    case LineOnlyInTarget:
        return "A Target line with no partner in the Source.";
    default:
        return "";
    }
}

frmColorSchema::frmColorSchema(QWidget* parent) : QDialog(parent) {
    setObjectName("frmColorSchema");
    setWindowTitle("Color Schema");
    auto* intro = new QLabel(
        "After a comparison the lines of both text views are coloured by what became of them:",
        this);
    intro->setObjectName("lblIntro");
    intro->setWordWrap(true);
    intro->setGeometry(10, 8, 540, 36);
    grdLegend_ = new QTableWidget(static_cast<int>(std::size(kEntries)), 2, this);
    grdLegend_->setObjectName("grdLegend");
    grdLegend_->setHorizontalHeaderLabels({"Colour", "Meaning"});
    grdLegend_->verticalHeader()->hide();
    grdLegend_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdLegend_->setSelectionMode(QAbstractItemView::NoSelection);
    grdLegend_->setFocusPolicy(Qt::NoFocus);
    grdLegend_->horizontalHeader()->setStretchLastSection(true);
    grdLegend_->setColumnWidth(0, 130);
    for (int r = 0; r < static_cast<int>(std::size(kEntries)); ++r) {
        auto* swatch = new QTableWidgetItem(kEntries[r].name);
        swatch->setBackground(FromColour(StatusToColor(kEntries[r].status)));
        swatch->setForeground(Qt::black);
        swatch->setData(Qt::UserRole, kEntries[r].status);
        grdLegend_->setItem(r, 0, swatch);
        grdLegend_->setItem(r, 1, new QTableWidgetItem(LineStatusMeaning(kEntries[r].status)));
        grdLegend_->setRowHeight(r, 26);
    }
    grdLegend_->setGeometry(10, 48, 540, 26 * 4 + grdLegend_->horizontalHeader()->height() + 4);
    const int top = grdLegend_->geometry().bottom() + 10;
    auto* help = new QPushButton("&Help", this);
    help->setObjectName("cmdHelp");
    help->setGeometry(340, top, 100, 28);
    help->setShortcut(QKeySequence(Qt::Key_F1));
    auto* close = new QPushButton("&Close", this);
    close->setObjectName("cmdClose");
    close->setGeometry(450, top, 100, 28);
    close->setDefault(true);
    connect(help, &QPushButton::clicked, this, [] { ShowHelpTopic(kHelpTopic); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(560, top + 38);
}

} // namespace orv
