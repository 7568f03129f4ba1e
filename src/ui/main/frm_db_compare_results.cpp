#include "ui/main/frm_db_compare_results.h"

#include "catalog/object_text.h"
#include "compare/mark_differences.h"
#include "compare/tx_text.h"
#include "dbcompare/db_compare_report.h"
#include "ui/main/db_compare_results_model.h"
#include "ui/main/db_compare_saved_comp.h"
#include "ui/main/frm_deploy_script.h"
#include "ui/main/frm_report.h"
#include "ui/main/results_export.h"
#include "ui/main/snapshot_panel_controller.h"
#include "ui/tools/frm_db_compare_progress.h"
#include "ui/tools/frm_run_progress.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/qt_text_view.h"
#include "ui/widgets/screen_bounds.h"
#include "util/prompter.h"
#include "util/text.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace orv {

namespace {

QPushButton* MakeButton(const char* name, const char* text, const char* tip, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

QLabel* MakeLabel(const char* name, const char* text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

// The status filter's entries in the order they are listed.
struct StatusEntry {
    const char* text;
    StatusFilter filter;
};
constexpr StatusEntry kStatusEntries[] = {
    {"All objects", StatusFilter::All},
    {"All differences", StatusFilter::AnyDifference},
    {"Identical", StatusFilter::Identical},
    {"Different", StatusFilter::Different},
    {"Only in source", StatusFilter::OnlyInSource},
    {"Only in target", StatusFilter::OnlyInTarget},
    {"Not comparable", StatusFilter::NotComparable},
};

constexpr const char* kSummaryHeaders[] = {"Type",           "Identical",      "Different",
                                           "Only in source", "Only in target", "Not comparable",
                                           "Total"};
constexpr PairStatus kStatusOrder[] = {PairStatus::Identical, PairStatus::Different,
                                       PairStatus::OnlyInSource, PairStatus::OnlyInTarget,
                                       PairStatus::NotComparable};

std::string SideName(const DbCompareResults& r, int side) {
    return r.ServerName[side] + "." + r.DbName[side];
}

std::string QualifiedName(const ObjectRef& ref) {
    return ref.Schema.empty() ? ref.Name : ref.Schema + "." + ref.Name;
}

} // namespace

frmDbCompareResults::frmDbCompareResults(DbCompareResultsPtr results, const std::string& caption,
                                         const std::vector<SelectedObject> (&selected)[2],
                                         QWidget* parent)
    : QDialog(parent),
      results_(results ? std::move(results) : std::make_shared<const DbCompareResults>()),
      caption_(caption) {
    for (int i = 0; i < 2; ++i)
        selected_[i] = selected[i];
    setObjectName("frmDbCompareResults");
    setModal(false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    std::string title = "Structure Comparison - " + caption_;
    if (!results_->Complete())
        title += " (incomplete)";
    setWindowTitle(Q(title));
    BuildControls();
    FillSummary();
    // Start on the first difference, where there is one: that is what the person came for.
    const int first = ::orv::NextDifference(*results_, model_->Shown(), -1, true);
    if (first >= 0)
        SelectRow(first);
    else if (ShownCount() > 0)
        SelectRow(0);
    else
        ShowPair(nullptr);
    UpdateShownLabel();
}

frmDbCompareResults::~frmDbCompareResults() = default;

void frmDbCompareResults::BuildControls() {
    resize(1120, 800);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        resize(std::min(width(), avail.width() - 40), std::min(height(), avail.height() - 40));
        move(avail.center() - rect().center());
    }
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 8, 8, 8);
    root->setSpacing(6);

    lblIncomplete_ = MakeLabel("lblIncomplete", "", this);
    lblIncomplete_->setWordWrap(true);
    LetLabelGiveWay(lblIncomplete_);
    lblIncomplete_->setStyleSheet("QLabel { background: #ffd6d6; color: #7a0000; border: 1px solid "
                                  "#c00000; padding: 4px; font-weight: bold; }");
    if (!results_->Complete()) {
        const std::string why = results_->Outcome == RunOutcome::Cancelled
                                    ? "the comparison was stopped"
                                    : "the comparison failed";
        std::string text = "Incomplete - " + why;
        if (!results_->Problem.empty())
            text += ": " + results_->Problem;
        text += " Only the objects compared before it ended are listed; the counts do not "
                "cover the whole databases.";
        lblIncomplete_->setText(Q(text));
    } else {
        lblIncomplete_->hide();
    }
    root->addWidget(lblIncomplete_);
    lblVerification_ = MakeLabel("lblVerification", "", this);
    lblVerification_->setWordWrap(true);
    lblVerification_->setTextFormat(Qt::PlainText);
    lblVerification_->setStyleSheet("QLabel { background: #e3f3e3; color: #0b4d0b; border: 1px "
                                    "solid #3c9a3c; padding: 4px; font-weight: bold; }");
    lblVerification_->hide();
    root->addWidget(lblVerification_);

    lblSummary_ = MakeLabel("lblSummary", "", this);
    lblSummary_->setTextFormat(Qt::PlainText);
    ShowSideNames();
    LetLabelGiveWay(lblSummary_);
    root->addWidget(lblSummary_);
    pvlSummary_ = new QTreeWidget(this);
    pvlSummary_->setObjectName("pvlSummary");
    pvlSummary_->setRootIsDecorated(false);
    pvlSummary_->setUniformRowHeights(true);
    pvlSummary_->setSelectionMode(QAbstractItemView::NoSelection);
    pvlSummary_->setFocusPolicy(Qt::NoFocus);
    pvlSummary_->setColumnCount(static_cast<int>(std::size(kSummaryHeaders)));
    QStringList headers;
    for (const char* h : kSummaryHeaders)
        headers << h;
    pvlSummary_->setHeaderLabels(headers);
    pvlSummary_->setToolTip("Objects per type and status; click a count to list those objects");
    root->addWidget(pvlSummary_);

    auto* filters = new QHBoxLayout;
    lblFilterStatus_ = MakeLabel("lblFilterStatus", "S&tatus:", this);
    cmbStatus_ = new QComboBox(this);
    cmbStatus_->setObjectName("cmbStatus");
    cmbStatus_->setToolTip("Show the objects of one status");
    for (const StatusEntry& e : kStatusEntries)
        cmbStatus_->addItem(e.text, static_cast<int>(e.filter));
    lblFilterStatus_->setBuddy(cmbStatus_);
    lblFilterType_ = MakeLabel("lblFilterType", "T&ype:", this);
    cmbType_ = new QComboBox(this);
    cmbType_->setObjectName("cmbType");
    cmbType_->setToolTip("Show the objects of one type");
    cmbType_->addItem("All types", static_cast<int>(kTypeNone));
    for (ObjectType t : results_->Types)
        cmbType_->addItem(Q(ObjectTypeCaption(t)), static_cast<int>(t));
    lblFilterType_->setBuddy(cmbType_);
    lblFilterName_ = MakeLabel("lblFilterName", "Na&me:", this);
    txtFilterName_ = new QLineEdit(this);
    txtFilterName_->setObjectName("txtFilterName");
    txtFilterName_->setPlaceholderText("pattern, e.g. usp_* or *order?");
    txtFilterName_->setToolTip("Show the objects whose name (or schema.name) matches: * any "
                               "characters, ? one character; a text without them matches "
                               "names that contain it");
    txtFilterName_->setClearButtonEnabled(true);
    lblFilterName_->setBuddy(txtFilterName_);
    lblShown_ = MakeLabel("lblShown", "", this);
    filters->addWidget(lblFilterStatus_);
    filters->addWidget(cmbStatus_);
    filters->addSpacing(12);
    filters->addWidget(lblFilterType_);
    filters->addWidget(cmbType_);
    filters->addSpacing(12);
    filters->addWidget(lblFilterName_);
    filters->addWidget(txtFilterName_, 1);
    filters->addSpacing(12);
    filters->addWidget(lblShown_);
    root->addLayout(filters);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName("splResults");
    split->setChildrenCollapsible(false);
    pvlObjects_ = new QTreeView(split);
    pvlObjects_->setObjectName("pvlObjects");
    pvlObjects_->setRootIsDecorated(false);
    pvlObjects_->setUniformRowHeights(true);
    pvlObjects_->setItemsExpandable(false);
    pvlObjects_->setAlternatingRowColors(true);
    pvlObjects_->setSelectionMode(QAbstractItemView::SingleSelection);
    pvlObjects_->setSelectionBehavior(QAbstractItemView::SelectRows);
    pvlObjects_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pvlObjects_->setAllColumnsShowFocus(true);
    pvlObjects_->setToolTip("Double-click (or Enter) shows the pair in the main window; "
                            "F3 / Shift+F3: next / previous differing object");
    model_ = new DbCompareResultsModel(results_, this);
    pvlObjects_->setModel(model_);
    pvlObjects_->installEventFilter(this);
    QHeaderView* header = pvlObjects_->header();
    header->setStretchLastSection(true);
    const int widths[] = {64, 90, 90, 300, 110, 150, 150};
    for (int c = 0; c < static_cast<int>(std::size(widths)); ++c)
        header->resizeSection(c, widths[c]);

    auto* texts = new QWidget(split);
    auto* textsLayout = new QHBoxLayout(texts);
    textsLayout->setContentsMargins(0, 0, 0, 0);
    auto side = [this, texts, textsLayout](const char* labelName, const char* viewName,
                                           QLabel*& label, QtTextView*& view) {
        auto* column = new QVBoxLayout;
        label = MakeLabel(labelName, "", texts);
        label->setTextFormat(Qt::PlainText);
        LetLabelGiveWay(label); // an object's long name must not push the Target pane away
        view = new QtTextView(texts);
        view->setObjectName(viewName);
        InitializeTXTextControl(*view);
        view->SetEditMode(1);
        column->addWidget(label);
        column->addWidget(view, 1);
        textsLayout->addLayout(column, 1);
    };
    side("lblSource", "txtSource", lblSource_, txtSource_);
    side("lblTarget", "txtTarget", lblTarget_, txtTarget_);
    split->addWidget(pvlObjects_);
    split->addWidget(texts);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    root->addWidget(split, 1);

    txtReport_ = new QtTextView(this);
    txtReport_->setObjectName("txtReport");
    InitializeTXTextControl(*txtReport_);
    txtReport_->hide();

    auto* buttons = new QHBoxLayout;
    cmdSelectAll_ = MakeButton("cmdSelectAll", "Select &All",
                               "Tick every object the deployment can include", this);
    cmdSelectNone_ = MakeButton("cmdSelectNone", "Select N&one", "Untick every object", this);
    cmdDeployScript_ = MakeButton("cmdDeployScript", "&Deployment Script...",
                                  "The script that makes the Target's structure match the "
                                  "Source for the ticked objects",
                                  this);
    cmdConfirmRename_ = MakeButton("cmdConfirmRename", "Confirm &Rename",
                                   "Deploy the \"renamed?\" column pair of this table as a "
                                   "rename: every row keeps its value",
                                   this);
    actConfirmRename_ = new QAction("Confirm Column Rename", this);
    actConfirmRename_->setObjectName("actConfirmRename");
    actConfirmRename_->setCheckable(true);
    pvlObjects_->addAction(actConfirmRename_);
    pvlObjects_->setContextMenuPolicy(Qt::ActionsContextMenu);
    cmdPrevDiff_ = MakeButton("cmdPrevDiff", "Pre&vious Difference",
                              "Go to the previous differing object (Shift+F3)", this);
    cmdNextDiff_ =
        MakeButton("cmdNextDiff", "&Next Difference", "Go to the next differing object (F3)", this);
    cmdCopyClip_ =
        MakeButton("cmdCopyClip", "Copy To &Clipboard", "Copy report to clipboard", this);
    cmdCopyToFile_ = MakeButton("cmdCopyToFile", "Export To &File",
                                "Export report to an HTML or CSV file", this);
    cmdPrint_ = MakeButton("cmdPrint", "&Print", "Print report on the default printer", this);
    cmdSave_ = MakeButton("cmdSave", "&Save Comparison",
                          "Save comparison's process parameters so it can be re-run later "
                          "(Alt + S)",
                          this);
    cmdExit_ = MakeButton("cmdExit", "E&xit", "Close the results (Esc)", this);
    buttons->addWidget(cmdPrevDiff_);
    buttons->addWidget(cmdNextDiff_);
    buttons->addSpacing(16);
    buttons->addWidget(cmdSelectAll_);
    buttons->addWidget(cmdSelectNone_);
    buttons->addWidget(cmdDeployScript_);
    buttons->addWidget(cmdConfirmRename_);
    buttons->addStretch(1);
    for (QPushButton* b : {cmdCopyClip_, cmdCopyToFile_, cmdPrint_, cmdSave_, cmdExit_})
        buttons->addWidget(b);
    root->addLayout(buttons);

    connect(cmdSelectAll_, &QPushButton::clicked, this, [this] { SelectAllIncluded(true); });
    connect(cmdSelectNone_, &QPushButton::clicked, this, [this] { SelectAllIncluded(false); });
    connect(cmdDeployScript_, &QPushButton::clicked, this, [this] { OpenDeploymentScript(); });
    connect(cmdConfirmRename_, &QPushButton::clicked, this, [this] {
        const int row = CurrentRow();
        const int pair = row >= 0 ? model_->Shown()[static_cast<size_t>(row)] : -1;
        ConfirmCurrentRename(!model_->RenameConfirmed(pair));
    });
    connect(actConfirmRename_, &QAction::triggered, this,
            [this](bool checked) { ConfirmCurrentRename(checked); });
    // A changed tick makes the open script again at once: it never shows a stale selection.
    connect(model_, &DbCompareResultsModel::IncludedChanged, this, [this] {
        if (deployWindow_)
            deployWindow_->Regenerate();
    });
    UpdateDeployButtons();
    UpdateRenameControls();
    connect(cmdPrevDiff_, &QPushButton::clicked, this, [this] { PreviousDifference(); });
    connect(cmdNextDiff_, &QPushButton::clicked, this, [this] { NextDifference(); });
    connect(cmdCopyClip_, &QPushButton::clicked, this, &frmDbCompareResults::CopyToClipboard);
    connect(cmdCopyToFile_, &QPushButton::clicked, this, &frmDbCompareResults::ExportToFile);
    connect(cmdPrint_, &QPushButton::clicked, this, &frmDbCompareResults::PrintNow);
    connect(cmdSave_, &QPushButton::clicked, this, &frmDbCompareResults::SaveComparison);
    connect(cmdExit_, &QPushButton::clicked, this, &QDialog::accept);

    auto key = [this](const QKeySequence& k, std::function<void()> run) {
        auto* s = new QShortcut(k, this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, std::move(run));
    };
    key(QKeySequence(Qt::Key_F3), [this] { NextDifference(); });
    key(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { PreviousDifference(); });

    connect(cmbStatus_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            SetStatusFilter(static_cast<StatusFilter>(cmbStatus_->itemData(index).toInt()));
    });
    connect(cmbType_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            SetTypeFilter(static_cast<ObjectType>(cmbType_->itemData(index).toInt()));
    });
    connect(txtFilterName_, &QLineEdit::textChanged, this,
            [this](const QString& text) { SetNamePattern(text.toStdString()); });
    connect(pvlObjects_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { ShowPair(model_->PairAt(current.row())); });
    connect(pvlObjects_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex&) { ChooseCurrentPair(); });
    connect(pvlSummary_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int col) {
        // A count lists its objects: the row's type and the column's status.
        const ObjectType type = static_cast<ObjectType>(item->data(0, Qt::UserRole).toInt());
        const int typeIndex = cmbType_->findData(static_cast<int>(type));
        if (typeIndex >= 0)
            cmbType_->setCurrentIndex(typeIndex);
        StatusFilter status = StatusFilter::All;
        if (col >= 1 && col <= 5)
            status = static_cast<StatusFilter>(static_cast<int>(StatusFilter::Identical) + col - 1);
        const int statusIndex = cmbStatus_->findData(static_cast<int>(status));
        if (statusIndex >= 0)
            cmbStatus_->setCurrentIndex(statusIndex);
    });
}

void frmDbCompareResults::FillSummary() {
    pvlSummary_->clear();
    auto addRow = [this](const QString& caption, ObjectType type, const StatusCounts& counts) {
        auto* item = new QTreeWidgetItem(pvlSummary_);
        item->setText(0, caption);
        item->setData(0, Qt::UserRole, static_cast<int>(type));
        for (size_t k = 0; k < std::size(kStatusOrder); ++k) {
            item->setText(static_cast<int>(k) + 1, QString::number(counts[kStatusOrder[k]]));
            item->setTextAlignment(static_cast<int>(k) + 1, Qt::AlignRight | Qt::AlignVCenter);
        }
        item->setText(6, QString::number(counts.Total()));
        item->setTextAlignment(6, Qt::AlignRight | Qt::AlignVCenter);
        return item;
    };
    for (ObjectType t : results_->Types)
        addRow(Q(ObjectTypeCaption(t)), t, results_->CountsFor(t));
    QTreeWidgetItem* total = addRow("All types", kTypeNone, results_->Totals());
    QFont bold = total->font(0);
    bold.setBold(true);
    for (int c = 0; c < pvlSummary_->columnCount(); ++c)
        total->setFont(c, bold);
    pvlSummary_->header()->setStretchLastSection(false);
    pvlSummary_->header()->resizeSection(0, 140);
    for (int c = 1; c < pvlSummary_->columnCount(); ++c)
        pvlSummary_->header()->resizeSection(c, 110);
    // Tall enough for every row, no taller.
    const int rowHeight = pvlSummary_->sizeHintForRow(0) > 0 ? pvlSummary_->sizeHintForRow(0) : 20;
    pvlSummary_->setFixedHeight(pvlSummary_->header()->sizeHint().height() +
                                rowHeight * pvlSummary_->topLevelItemCount() +
                                2 * pvlSummary_->frameWidth() + 4);
}

void frmDbCompareResults::SetStatusFilter(StatusFilter status) {
    if (filter_.Status == status)
        return;
    filter_.Status = status;
    const int index = cmbStatus_->findData(static_cast<int>(status));
    if (index >= 0 && index != cmbStatus_->currentIndex()) {
        QSignalBlocker block(cmbStatus_);
        cmbStatus_->setCurrentIndex(index);
    }
    ApplyFilter();
}

void frmDbCompareResults::SetTypeFilter(ObjectType type) {
    if (filter_.Type == type)
        return;
    filter_.Type = type;
    const int index = cmbType_->findData(static_cast<int>(type));
    if (index >= 0 && index != cmbType_->currentIndex()) {
        QSignalBlocker block(cmbType_);
        cmbType_->setCurrentIndex(index);
    }
    ApplyFilter();
}

void frmDbCompareResults::SetNamePattern(const std::string& pattern) {
    if (filter_.NamePattern == pattern)
        return;
    filter_.NamePattern = pattern;
    if (txtFilterName_->text().toStdString() != pattern) {
        QSignalBlocker block(txtFilterName_);
        txtFilterName_->setText(Q(pattern));
    }
    ApplyFilter();
}

void frmDbCompareResults::ApplyFilter() {
    const int row = CurrentRow();
    const int pair = row >= 0 ? model_->Shown()[static_cast<size_t>(row)] : -1;
    model_->SetFilter(filter_);
    const int again = pair >= 0 ? model_->RowOfPair(pair) : -1;
    if (again >= 0)
        SelectRow(again);
    else if (ShownCount() > 0)
        SelectRow(0);
    else
        ShowPair(nullptr);
    UpdateShownLabel();
}

void frmDbCompareResults::UpdateShownLabel() {
    const QLocale english(QLocale::English);
    lblShown_->setText(QString("%1 of %2 objects")
                           .arg(english.toString(ShownCount()))
                           .arg(english.toString(static_cast<qlonglong>(results_->Pairs.size()))));
}

int frmDbCompareResults::ShownCount() const {
    return model_->rowCount();
}

const PairVerdict* frmDbCompareResults::ShownPair(int row) const {
    return model_->PairAt(row);
}

int frmDbCompareResults::CurrentRow() const {
    const QModelIndex current = pvlObjects_->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void frmDbCompareResults::SelectRow(int row) {
    if (row < 0 || row >= ShownCount())
        return;
    const QModelIndex index = model_->index(row, 0);
    pvlObjects_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                              QItemSelectionModel::Rows);
    pvlObjects_->scrollTo(index);
    // A reset model reports no change of the current row when the row number stays the same.
    ShowPair(model_->PairAt(row));
}

bool frmDbCompareResults::NextDifference() {
    const int row = ::orv::NextDifference(*results_, model_->Shown(), CurrentRow(), true);
    if (row < 0) {
        QApplication::beep();
        return false;
    }
    SelectRow(row);
    return true;
}

bool frmDbCompareResults::PreviousDifference() {
    const int from = CurrentRow() >= 0 ? CurrentRow() : ShownCount();
    const int row = ::orv::NextDifference(*results_, model_->Shown(), from, false);
    if (row < 0) {
        QApplication::beep();
        return false;
    }
    SelectRow(row);
    return true;
}

void frmDbCompareResults::ChooseCurrentPair() {
    const PairVerdict* pair = model_->PairAt(CurrentRow());
    if (pair && onPairChosen)
        onPairChosen(*results_, *pair);
}

void frmDbCompareResults::ShowPair(const PairVerdict* pair) {
    ShowSide(*txtSource_, *lblSource_, 0, pair);
    ShowSide(*txtTarget_, *lblTarget_, 1, pair);
    UpdateRenameControls();
}

void frmDbCompareResults::ShowSide(QtTextView& view, QLabel& label, int side,
                                   const PairVerdict* pair) {
    const std::string heading = side == 0 ? "Source: " : "Target: ";
    if (!pair) {
        label.setText(Q(heading + SideTitle(side)));
        view.SetText("");
        return;
    }
    const bool present = side == 0 ? pair->HasSource : pair->HasTarget;
    const ObjectRef& ref = side == 0 ? pair->Source : pair->Target;
    std::string text = heading + SideTitle(side) + " - ";
    if (present) {
        text += QualifiedName(ref);
        if (!ref.Modified.empty())
            text += "   (modified " + ref.Modified + ")";
        // Matching fingerprints spared reading the text: it is read now, for this pair only.
        if (!pair->TextsRead)
            text += "   (identical by fingerprint)";
    } else {
        text += "no " + ToLowerAscii(GetObjectTypeName(pair->Type, true)) + " named " +
                QualifiedName(side == 0 ? pair->Target : pair->Source);
    }
    label.setText(Q(text));
    label.setToolTip(label.text());
    if (!pair->TextsRead && present) {
        view.SetText(TextReadOnDemand(*pair, side));
        return;
    }
    view.SetText(side == 0 ? pair->SourceText : pair->TargetText);
    if (pair->Status != PairStatus::Different)
        return;
    // The marks come from the comparison; the offsets are the view's own, so a character
    // outside the basic plane cannot shift the colours.
    CompLines lines;
    int32_t errorCode = 0;
    TXText_ConvTextToArray(view, lines, errorCode);
    if (errorCode != 0)
        return;
    const CompLines& marks = side == 0 ? pair->SourceLines : pair->TargetLines;
    for (size_t k = 0; k < lines.size(); ++k)
        lines[k].Status = k < marks.size() ? marks[k].Status : LineSame;
    PaintLines(view, lines);
    // The first difference in sight, a few lines of context above it.
    int64_t start = 0;
    for (const CompLine& line : lines)
        if (line.Status != LineSame) {
            start = line.StartPos;
            break;
        }
    view.SetSelStart(start);
    view.SetSelLength(0);
    view.centerCursor();
    if (!view.isVisible()) // not laid out yet: once it is
        QTimer::singleShot(0, &view, [v = &view] { v->centerCursor(); });
}

std::string frmDbCompareResults::ReportText() const {
    return FormatDbCompareReport(*results_, ReportFormat::Text);
}

void frmDbCompareResults::CopyToClipboard() {
    CurrentPrompter().SetClipboardText(ReportText());
}

void frmDbCompareResults::ExportToFile() {
    if (busy_)
        return;
    busy_ = true;
    if (const std::optional<ResultsExportTarget> target =
            AskResultsExportTarget("Comparison.html")) {
        std::string error;
        if (!WriteDbCompareReport(
                *results_, target->Type == kExportHtml ? ReportFormat::Html : ReportFormat::Csv,
                target->Path, error))
            CurrentPrompter().MessageBox(MsgIcon::Error, "Cannot Export", error);
        else
            exportPath_ = target->Path;
    }
    busy_ = false;
}

std::string frmDbCompareResults::TextReadOnDemand(const PairVerdict& pair, int side) {
    const auto key = std::make_pair(&pair, side);
    auto it = fetchedTexts_.find(key);
    if (it != fetchedTexts_.end())
        return it->second;
    // A snapshot's side kept its text; only a live side is asked.
    const std::string& kept = side == 0 ? pair.SourceText : pair.TargetText;
    if (!kept.empty())
        return kept;
    if (!request_)
        return "";
    std::string text;
    try {
        const ObjectRef& ref = side == 0 ? pair.Source : pair.Target;
        text = GetObjectTextById(request_->Server[side], ref.Id, request_->Database[side]);
    } catch (const std::exception& e) {
        text = std::string("-- The text could not be read: ") + e.what();
    }
    fetchedTexts_[key] = text;
    return text;
}

std::string frmDbCompareResults::SideTitle(int side) const {
    // A snapshot side is named by its own title: the database, its server and when.
    if (request_ && request_->Snapshot[side])
        return SnapshotSideTitle(*request_, side);
    return SideName(*results_, side);
}

void frmDbCompareResults::ShowSideNames() {
    lblSummary_->setText(Q("Source: " + SideTitle(0) + "    Target: " + SideTitle(1)));
    lblSummary_->setToolTip(lblSummary_->text());
}

void frmDbCompareResults::SetRequest(const DbCompareRequest& request) {
    request_ = std::make_unique<DbCompareRequest>(request);
    ShowSideNames();
    const int row = CurrentRow();
    ShowPair(row >= 0 ? model_->PairAt(row) : nullptr);
    UpdateDeployButtons();
}

void frmDbCompareResults::ShowVerification(const std::string& text) {
    lblVerification_->setText(Q(text));
    lblVerification_->setVisible(!text.empty());
}

void frmDbCompareResults::UpdateDeployButtons() {
    const bool can = request_ && results_->Complete() && model_->OfferedCount() > 0;
    for (QPushButton* b : {cmdSelectAll_, cmdSelectNone_, cmdDeployScript_})
        b->setEnabled(can);
    cmdDeployScript_->setToolTip(
        can ? "The script that makes the Target's structure match the Source for the ticked "
              "objects"
        : !results_->Complete() ? "Deploys only from a comparison that completed"
                                : "Nothing differs: there is nothing to deploy");
}

void frmDbCompareResults::UpdateRenameControls() {
    const int row = CurrentRow();
    const int pair = row >= 0 ? model_->Shown()[static_cast<size_t>(row)] : -1;
    const bool can = model_->RenameSuggested(pair);
    const bool confirmed = model_->RenameConfirmed(pair);
    cmdConfirmRename_->setEnabled(can);
    cmdConfirmRename_->setText(confirmed ? "Undo &Rename" : "Confirm &Rename");
    actConfirmRename_->setEnabled(can);
    actConfirmRename_->setChecked(confirmed);
    if (can) {
        const PairVerdict& p = results_->Pairs[static_cast<size_t>(pair)];
        actConfirmRename_->setText(
            Q("Confirm Column Rename " + p.RenamedColumnFrom + " \u2192 " + p.RenamedColumnTo));
    } else {
        actConfirmRename_->setText("Confirm Column Rename");
    }
}

bool frmDbCompareResults::ConfirmCurrentRename(bool on) {
    const int row = CurrentRow();
    const int pair = row >= 0 ? model_->Shown()[static_cast<size_t>(row)] : -1;
    if (!model_->RenameSuggested(pair))
        return false;
    model_->SetRenameConfirmed(pair, on);
    UpdateRenameControls();
    return true;
}

void frmDbCompareResults::SelectAllIncluded(bool on) {
    model_->SetAllIncluded(on);
}

frmDeployScript* frmDbCompareResults::OpenDeploymentScript() {
    if (!request_ || !results_->Complete() || busy_)
        return nullptr;
    if (const std::string refusal = DeployRefusalText(*request_); !refusal.empty()) {
        CurrentPrompter().MessageBox(MsgIcon::Information, "Deployment Script", refusal);
        return nullptr;
    }
    if (deployWindow_) {
        deployWindow_->Regenerate();
        deployWindow_->raise();
        deployWindow_->activateWindow();
        return deployWindow_;
    }
    if (!deploySession_ && !PrepareDeployment())
        return nullptr;
    deployWindow_ = new frmDeployScript(
        deploySession_, [this] { return model_->IncludedObjects(); },
        !request_->Options.IgnoreColSeq, this);
    deployWindow_->setAttribute(Qt::WA_DeleteOnClose);
    deployWindow_->SetColumnRenames([this] { return model_->ConfirmedRenames(); });
    deployWindow_->onVerified = [this](const DeployVerification& v, const std::string& text) {
        // What was read describes the Target before the run: read again next time.
        deploySession_.reset();
        // The fresh comparison in a results window of its own, saying what it found.
        frmDbCompareResults* window = OpenSibling(v.Results, caption_ + " - after deployment");
        window->ShowVerification(text);
        verifiedWindow_ = window;
    };
    deployWindow_->onCompareAgain = [this] {
        // The script was made for a Target that is no more: it goes with what was read.
        deploySession_.reset();
        if (CompareAgain() && deployWindow_)
            deployWindow_->close();
    };
    deployWindow_->show();
    return deployWindow_;
}

frmDbCompareResults* frmDbCompareResults::OpenSibling(DbCompareResultsPtr results,
                                                      const std::string& caption) {
    auto* window = new frmDbCompareResults(std::move(results), caption, selected_, parentWidget());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->SetRequest(*request_);
    window->onPairChosen = onPairChosen;
    window->show();
    return window;
}

frmDbCompareResults* frmDbCompareResults::CompareAgain() {
    if (!request_ || busy_)
        return nullptr;
    busy_ = true;
    DbCompareResultsPtr results;
    {
        frmDbCompareProgress progress(this);
        results = progress.ShowUp(caption_, *request_);
    }
    busy_ = false;
    if (!results || results->Outcome == RunOutcome::Cancelled)
        return nullptr;
    if (results->Outcome == RunOutcome::Failed)
        CurrentPrompter().MessageBox(MsgIcon::Warning, "Cannot Compare",
                                     "The comparison did not complete: " + results->Problem);
    againWindow_ = OpenSibling(std::move(results), caption_);
    return againWindow_;
}

bool frmDbCompareResults::PrepareDeployment() {
    busy_ = true;
    auto session = std::make_shared<DeploySession>();
    bool prepared = false;
    bool stopped = false;
    std::string error;
    {
        RunProgressLook look;
        look.ObjectName = "frmDeployPrepare";
        look.Title = "Reading the structure";
        look.ItemName = "lblObject";
        look.StopTip = "Stop reading (Esc)";
        look.Stopping = "Stopping...";
        frmRunProgress progress(look, this);
        progress.Run(caption_, [&](ProgressSink& sink, const CancelToken& cancel) {
            prepared = session->Prepare(*request_, *results_, sink, cancel, error);
        });
        stopped = progress.StopRequested();
    }
    busy_ = false;
    // Stop is the user's choice, not a failure: nothing to tell.
    if (!prepared && !stopped) {
        CurrentPrompter().MessageBox(MsgIcon::Error, "Deployment Script",
                                     "The structure of the databases could not be read: " + error);
    }
    if (!prepared)
        return false;
    deploySession_ = std::move(session);
    return true;
}

void frmDbCompareResults::PrintNow() {
    if (busy_)
        return;
    busy_ = true;
    txtReport_->SetText(ReportText());
    if (PrintViewOrOfferPdf(*txtReport_))
        printed_ = true;
    busy_ = false;
}

void frmDbCompareResults::SaveComparison() {
    SaveComparisonAndTell(DescribeDbCompare(*results_, selected_, exportPath_, printed_), this);
}

void frmDbCompareResults::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool frmDbCompareResults::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pvlObjects_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            ChooseCurrentPair();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace orv
