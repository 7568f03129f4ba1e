#include "ui/main/frm_data_compare_results.h"

#include "compare/comp_line.h"
#include "core/help_topic.h"
#include "core/settings.h"
#include "dbcompare/data_compare_report.h"
#include "dbcompare/data_compare_saved.h"
#include "dbcompare/data_sync_script.h"
#include "export/export_file.h"
#include "ui/main/frm_report.h"
#include "ui/main/results_export.h"
#include "ui/tools/frm_data_compare_progress.h"
#include "ui/tools/frm_sync_script.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/qt_text_view.h"
#include "ui/widgets/screen_bounds.h"
#include "util/prompter.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace orv {

namespace {

QString Grouped(int64_t n) {
    return QLocale(QLocale::English).toString(static_cast<qlonglong>(n));
}

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
    l->setTextFormat(Qt::PlainText);
    return l;
}

QColor ColourOf(int32_t lineStatus) {
    const Colour c = StatusToColor(lineStatus);
    return QColor(static_cast<int>(c & 0xff), static_cast<int>((c >> 8) & 0xff),
                  static_cast<int>((c >> 16) & 0xff));
}

struct FilterEntry {
    const char* text;
    RowFilter filter;
};
constexpr FilterEntry kFilters[] = {
    {"All differing rows", RowFilter::All},      {"Different", RowFilter::Different},
    {"Only in source", RowFilter::OnlyInSource}, {"Only in target", RowFilter::OnlyInTarget},
    {"Conflicts", RowFilter::Conflict},
};

// The table list's columns.
enum TableColumn {
    kColTable,
    kColStatus,
    kColCompared,
    kColIdentical,
    kColDifferent,
    kColOnlySource,
    kColOnlyTarget,
    kColConflict,
    kColTime,
    kColKey,
    kTableColumns
};
constexpr const char* kTableHeaders[kTableColumns] = {
    "Table",          "Status",         "Rows compared", "Identical", "Different",
    "Only in source", "Only in target", "Conflicts",     "Time (s)",  "Key"};

std::string SideName(const DataCompareResults& r, int side) {
    return r.ServerName[side] + "." + r.DbName[side];
}

std::string Joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names)
        out += (out.empty() ? "" : ", ") + n;
    return out;
}

QString StatusText(const DataTableResult& t) {
    QString s = QString::fromLatin1(DataPairStatusWord(t.Status));
    if (t.Status == DataPairStatus::NotComparable && !t.Reason.empty())
        s += ": " + Q(t.Reason);
    if (t.Incomplete)
        s += " (incomplete)";
    return s;
}

int32_t StatusColour(DataPairStatus status) {
    switch (status) {
    case DataPairStatus::Different:
        return LineChanged;
    case DataPairStatus::OnlyInSource:
        return LineOnlyInSource;
    case DataPairStatus::OnlyInTarget:
        return LineOnlyInTarget;
    case DataPairStatus::NotComparable:
        return LineUnmarked;
    case DataPairStatus::Identical:
        break;
    }
    return LineSame;
}

// The request that compares the chosen pairs again, each on the key it was compared on when
// the user picked it.
DataCompareRequest RequestFor(const DataCompareRequest& request, const DataCompareResults& results,
                              const std::vector<size_t>& tables) {
    DataCompareRequest again = request;
    again.AllTables = false;
    again.Tables.clear();
    for (size_t k : tables) {
        const DataTableResult& t = results.Tables[k];
        DataTablePair p;
        for (int i = 0; i < 2; ++i) {
            p.Schema[i] = t.Schema[i];
            p.Name[i] = t.Name[i];
        }
        if (t.KeyFrom == KeyOrigin::Picked)
            p.Key = t.KeyColumns;
        again.Tables.push_back(std::move(p));
    }
    return again;
}

// A file name from a table's name: what a file name cannot hold becomes "_".
std::string ScriptFileName(const std::string& covers) {
    std::string name = "sync_" + covers;
    for (char& c : name)
        if (c == '/' || c == '\\' || c == '\0' || c == ' ')
            c = '_';
    return name;
}

} // namespace

frmDataCompareResults::frmDataCompareResults(DataCompareResultsPtr results,
                                             const std::string& caption,
                                             const DataCompareRequest& request, QWidget* parent)
    : QDialog(parent),
      results_(results ? std::move(results) : std::make_shared<const DataCompareResults>()),
      caption_(caption), request_(request) {
    setObjectName("frmDataCompareResults");
    setModal(false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    BuildControls();
    FillTables();
    // Start on the first pair that differs, where there is one: that is what the person came
    // for.
    int first = results_->Tables.empty() ? -1 : 0;
    for (size_t k = 0; k < results_->Tables.size(); ++k)
        if (results_->Tables[k].Status == DataPairStatus::Different) {
            first = static_cast<int>(k);
            break;
        }
    SelectTable(first);
}

frmDataCompareResults::~frmDataCompareResults() {
    // The rows model points into the results, which go before the views that may still ask it.
    rows_->SetPair(nullptr);
}

void frmDataCompareResults::BuildControls() {
    resize(1180, 820);
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
    root->addWidget(lblIncomplete_);

    lblSummary_ = MakeLabel("lblSummary", "", this);
    LetLabelGiveWay(lblSummary_);
    root->addWidget(lblSummary_);
    pvlTables_ = new QTreeWidget(this);
    pvlTables_->setObjectName("pvlTables");
    pvlTables_->setRootIsDecorated(false);
    pvlTables_->setUniformRowHeights(true);
    pvlTables_->setAlternatingRowColors(true);
    pvlTables_->setColumnCount(kTableColumns);
    QStringList headers;
    for (const char* h : kTableHeaders)
        headers << h;
    pvlTables_->setHeaderLabels(headers);
    pvlTables_->setToolTip("The table pairs compared; choose one to see its differing rows");
    const int widths[kTableColumns] = {220, 200, 100, 90, 90, 100, 100, 80, 70, 160};
    for (int c = 0; c < kTableColumns; ++c)
        pvlTables_->header()->resizeSection(c, widths[c]);

    lblPair_ = MakeLabel("lblPair", "", this);
    lblPair_->setWordWrap(true);
    LetLabelGiveWay(lblPair_);

    auto* filters = new QHBoxLayout;
    lblFilterStatus_ = MakeLabel("lblFilterStatus", "S&how:", this);
    lblFilterStatus_->setTextFormat(Qt::AutoText);
    cmbStatus_ = new QComboBox(this);
    cmbStatus_->setObjectName("cmbStatus");
    cmbStatus_->setToolTip("Show the differing rows of one status");
    for (const FilterEntry& e : kFilters)
        cmbStatus_->addItem(e.text, static_cast<int>(e.filter));
    lblFilterStatus_->setBuddy(cmbStatus_);
    lblShown_ = MakeLabel("lblShown", "", this);
    filters->addWidget(lblFilterStatus_);
    filters->addWidget(cmbStatus_);
    filters->addSpacing(12);
    filters->addWidget(lblShown_, 1);

    auto* lower = new QWidget(this);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addWidget(lblPair_);
    lowerLayout->addLayout(filters);
    auto* sideBySide = new QSplitter(Qt::Horizontal, lower);
    sideBySide->setObjectName("splRows");
    sideBySide->setChildrenCollapsible(false);
    grdRows_ = new QTableView(sideBySide);
    grdRows_->setObjectName("grdRows");
    grdRows_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdRows_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdRows_->setWordWrap(false);
    grdRows_->verticalHeader()->setDefaultSectionSize(grdRows_->fontMetrics().height() + 6);
    grdRows_->horizontalHeader()->setDefaultSectionSize(120);
    rows_ = new DataCompareRowsModel(this);
    grdRows_->setModel(rows_);
    pvlColumns_ = new QTreeWidget(sideBySide);
    pvlColumns_->setObjectName("pvlColumns");
    pvlColumns_->setRootIsDecorated(false);
    pvlColumns_->setUniformRowHeights(true);
    pvlColumns_->setHeaderLabels({"Column", "Rows differing", "Source type", "Target type"});
    pvlColumns_->header()->resizeSection(0, 130);
    pvlColumns_->header()->resizeSection(1, 95);
    pvlColumns_->setToolTip("Per compared column, the rows in which its values differ; choose "
                            "one to bring it into view");
    sideBySide->addWidget(grdRows_);
    sideBySide->addWidget(pvlColumns_);
    sideBySide->setStretchFactor(0, 4);
    sideBySide->setStretchFactor(1, 1);
    sideBySide->setSizes({880, 340});
    lowerLayout->addWidget(sideBySide, 1);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName("splResults");
    split->setChildrenCollapsible(false);
    split->addWidget(pvlTables_);
    split->addWidget(lower);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 3);
    root->addWidget(split, 1);

    txtReport_ = new QtTextView(this);
    txtReport_->setObjectName("txtReport");
    txtReport_->hide();

    auto* buttons = new QHBoxLayout;
    cmdKey_ = MakeButton("cmdKey", "Choose &Key...",
                         "Pick the columns that match the rows of a pair without a key", this);
    cmdScript_ = MakeButton("cmdScript", "Sync &Script",
                            "Show the T-SQL that makes this Target table equal the Source", this);
    cmdScriptAll_ = MakeButton("cmdScriptAll", "Sync Script - All &Tables",
                               "Show the T-SQL that makes every differing Target table equal "
                               "the Source",
                               this);
    cmdCopyClip_ = MakeButton("cmdCopyClip", "Copy To &Clipboard",
                              "Copy the summary and the rows shown to the clipboard", this);
    cmdCopyToFile_ = MakeButton("cmdCopyToFile", "Export To &File",
                                "Export an HTML report or the differing rows as CSV", this);
    cmdPrint_ = MakeButton("cmdPrint", "&Print", "Print the report on the default printer", this);
    cmdSave_ = MakeButton("cmdSave", "&Save Comparison",
                          "Save comparison's process parameters so it can be re-run later", this);
    cmdHelp_ = MakeButton("cmdHelp", "H&elp", "Display Help (F1)", this);
    cmdExit_ = MakeButton("cmdExit", "E&xit", "Close the results (Esc)", this);
    buttons->addWidget(cmdKey_);
    buttons->addWidget(cmdScript_);
    buttons->addWidget(cmdScriptAll_);
    buttons->addStretch(1);
    for (QPushButton* b : {cmdCopyClip_, cmdCopyToFile_, cmdPrint_, cmdSave_, cmdHelp_, cmdExit_})
        buttons->addWidget(b);
    root->addLayout(buttons);

    connect(cmdKey_, &QPushButton::clicked, this, [this] { ChooseKey(); });
    connect(cmdScript_, &QPushButton::clicked, this, [this] { ShowSyncScript(false); });
    connect(cmdScriptAll_, &QPushButton::clicked, this, [this] { ShowSyncScript(true); });
    connect(cmdCopyClip_, &QPushButton::clicked, this, &frmDataCompareResults::CopyToClipboard);
    connect(cmdCopyToFile_, &QPushButton::clicked, this, &frmDataCompareResults::ExportToFile);
    connect(cmdPrint_, &QPushButton::clicked, this, &frmDataCompareResults::PrintNow);
    connect(cmdSave_, &QPushButton::clicked, this, &frmDataCompareResults::SaveComparison);
    connect(cmdHelp_, &QPushButton::clicked, this, [] { ShowHelpTopic(kDataCompareHelpTopic); });
    connect(cmdExit_, &QPushButton::clicked, this, &QDialog::accept);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [] { ShowHelpTopic(kDataCompareHelpTopic); });

    connect(cmbStatus_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            SetRowFilter(static_cast<RowFilter>(cmbStatus_->itemData(index).toInt()));
    });
    connect(pvlTables_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
                ShowTable(item ? item->data(0, Qt::UserRole).toInt() : -1);
            });
    connect(pvlColumns_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
        const int column = rows_->ViewColumnOf(item->data(0, Qt::UserRole).toInt());
        if (column >= 0 && rows_->rowCount() > 0)
            grdRows_->scrollTo(rows_->index(0, column), QAbstractItemView::PositionAtCenter);
    });
}

void frmDataCompareResults::FillTables() {
    std::string title = "Data Comparison - " + caption_;
    if (!results_->Complete())
        title += " (incomplete)";
    setWindowTitle(Q(title));
    if (!results_->Complete()) {
        const std::string why = results_->Outcome == RunOutcome::Cancelled
                                    ? "the comparison was stopped"
                                    : "the comparison failed";
        std::string text = "Incomplete - " + why;
        if (!results_->Problem.empty())
            text += ": " + results_->Problem;
        text += " Only the rows compared before it ended are counted; a pair marked incomplete "
                "was cut short.";
        lblIncomplete_->setText(Q(text));
        lblIncomplete_->show();
    } else {
        lblIncomplete_->hide();
    }
    const auto counts = results_->PairCounts();
    std::string summary = "Source: " + SideName(*results_, 0) +
                          "    Target: " + SideName(*results_, 1) + "    Pairs: ";
    std::string parts;
    for (int s = 0; s < kDataPairStatusCount; ++s)
        if (counts[static_cast<size_t>(s)] > 0)
            parts += (parts.empty() ? "" : ", ") + std::to_string(counts[static_cast<size_t>(s)]) +
                     " " + DataPairStatusWord(static_cast<DataPairStatus>(s));
    summary += parts.empty() ? "none" : parts;
    lblSummary_->setText(Q(summary));

    const int current = CurrentTable();
    QSignalBlocker block(pvlTables_);
    pvlTables_->clear();
    int64_t totals[kTableColumns] = {};
    double seconds = 0;
    for (size_t k = 0; k < results_->Tables.size(); ++k) {
        const DataTableResult& t = results_->Tables[k];
        auto* item = new QTreeWidgetItem(pvlTables_);
        item->setData(0, Qt::UserRole, static_cast<int>(k));
        item->setText(kColTable, Q(t.DisplayName()));
        item->setText(kColStatus, StatusText(t));
        item->setToolTip(kColStatus, StatusText(t));
        item->setBackground(kColStatus, ColourOf(StatusColour(t.Status)));
        const bool compared = t.Status == DataPairStatus::Identical ||
                              t.Status == DataPairStatus::Different || t.RowsCompared > 0;
        const int64_t values[] = {t.RowsCompared, t.Identical,    t.Different,
                                  t.OnlyInSource, t.OnlyInTarget, t.Conflict};
        for (int c = kColCompared; c <= kColConflict; ++c) {
            const int64_t v = values[c - kColCompared];
            totals[c] += v;
            item->setText(c, compared ? Grouped(v) : QString());
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        }
        seconds += t.Seconds;
        item->setText(kColTime, compared ? QString::number(t.Seconds, 'f', 2) : QString());
        item->setTextAlignment(kColTime, Qt::AlignRight | Qt::AlignVCenter);
        if (!t.KeyColumns.empty())
            item->setText(kColKey, Q(Joined(t.KeyColumns) + " (" + KeyOriginWord(t.KeyFrom) + ")"));
    }
    if (results_->Tables.size() > 1) {
        auto* total = new QTreeWidgetItem(pvlTables_);
        total->setData(0, Qt::UserRole, -1);
        total->setText(kColTable, "All tables");
        for (int c = kColCompared; c <= kColConflict; ++c) {
            total->setText(c, Grouped(totals[c]));
            total->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        }
        total->setText(kColTime, QString::number(seconds, 'f', 2));
        total->setTextAlignment(kColTime, Qt::AlignRight | Qt::AlignVCenter);
        QFont bold = total->font(0);
        bold.setBold(true);
        for (int c = 0; c < kTableColumns; ++c)
            total->setFont(c, bold);
        total->setFlags(Qt::ItemIsEnabled);
    }
    if (current >= 0 && current < static_cast<int>(results_->Tables.size()))
        pvlTables_->setCurrentItem(pvlTables_->topLevelItem(current));
}

int frmDataCompareResults::CurrentTable() const {
    QTreeWidgetItem* item = pvlTables_->currentItem();
    return item ? item->data(0, Qt::UserRole).toInt() : -1;
}

void frmDataCompareResults::SelectTable(int index) {
    if (index >= 0 && index < static_cast<int>(results_->Tables.size())) {
        QSignalBlocker block(pvlTables_);
        pvlTables_->setCurrentItem(pvlTables_->topLevelItem(index));
    }
    ShowTable(index);
}

void frmDataCompareResults::ShowTable(int index) {
    const DataTableResult* pair = index >= 0 && index < static_cast<int>(results_->Tables.size())
                                      ? &results_->Tables[static_cast<size_t>(index)]
                                      : nullptr;
    rows_->SetPair(pair);
    ShowColumns(pair);
    std::string info;
    if (pair) {
        info = pair->DisplayName();
        if (pair->HasSource && pair->HasTarget &&
            (pair->Schema[0] != pair->Schema[1] || pair->Name[0] != pair->Name[1]))
            info += " / " + pair->Schema[1] + "." + pair->Name[1];
        info += " - " + StatusText(*pair).toStdString();
        if (!pair->KeyColumns.empty())
            info +=
                ".   Key: " + Joined(pair->KeyColumns) + " (" + KeyOriginWord(pair->KeyFrom) + ")";
        if (pair->Status == DataPairStatus::Identical || pair->Status == DataPairStatus::Different)
            info += ".   Mode: " + std::string(DataCompareModeWord(pair->ModeUsed)) +
                    ".   Rows read: " + std::to_string(pair->RowsRead[0]) + " / " +
                    std::to_string(pair->RowsRead[1]);
        if (!pair->SourceOnlyColumns.empty())
            info += ".   Only in source, not compared: " + Joined(pair->SourceOnlyColumns);
        if (!pair->TargetOnlyColumns.empty())
            info += ".   Only in target, not compared: " + Joined(pair->TargetOnlyColumns);
        if (!pair->IgnoredColumns.empty())
            info += ".   Ignored: " + Joined(pair->IgnoredColumns);
        if (NeedsPickedKey(*pair))
            info += ".   Choose Key picks the columns that match its rows.";
    }
    lblPair_->setText(Q(info));
    grdRows_->resizeColumnsToContents();
    for (int c = 0; c < rows_->columnCount(); ++c)
        grdRows_->setColumnWidth(c, std::clamp(grdRows_->columnWidth(c), 60, 260));
    UpdateShownLabel();
    UpdateButtons();
}

void frmDataCompareResults::ShowColumns(const DataTableResult* pair) {
    pvlColumns_->clear();
    if (!pair)
        return;
    for (size_t c = 0; c < pair->Compared.size(); ++c) {
        const DataColumn& column = pair->Compared[c];
        auto* item = new QTreeWidgetItem(pvlColumns_);
        item->setData(0, Qt::UserRole, static_cast<int>(c));
        item->setText(0, Q(column.Name));
        const int64_t n = c < pair->ColumnDiffCounts.size() ? pair->ColumnDiffCounts[c] : 0;
        item->setText(1, Grouped(n));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        if (n > 0)
            item->setBackground(1, ColourOf(LineChanged));
        item->setText(2, Q(column.SourceType));
        item->setText(3, Q(column.TargetType));
    }
    auto notCompared = [this](const std::vector<std::string>& names, const char* why) {
        for (const std::string& name : names) {
            auto* item = new QTreeWidgetItem(pvlColumns_);
            item->setData(0, Qt::UserRole, -1);
            item->setText(0, Q(name));
            item->setText(1, why);
            item->setForeground(0, QColor(Qt::gray));
            item->setForeground(1, QColor(Qt::gray));
        }
    };
    notCompared(pair->SourceOnlyColumns, "only in source");
    notCompared(pair->TargetOnlyColumns, "only in target");
    notCompared(pair->IgnoredColumns, "ignored");
}

void frmDataCompareResults::SetRowFilter(RowFilter filter) {
    const int index = cmbStatus_->findData(static_cast<int>(filter));
    if (index >= 0 && index != cmbStatus_->currentIndex()) {
        QSignalBlocker block(cmbStatus_);
        cmbStatus_->setCurrentIndex(index);
    }
    rows_->SetFilter(filter);
    UpdateShownLabel();
}

int frmDataCompareResults::ShownRowCount() const {
    return rows_->rowCount();
}

void frmDataCompareResults::UpdateShownLabel() {
    const DataTableResult* pair = rows_->Pair();
    if (!pair) {
        lblShown_->clear();
        return;
    }
    QString text = QString("%1 of %2 differing rows shown")
                       .arg(Grouped(ShownRowCount()))
                       .arg(Grouped(pair->DifferingRows()));
    if (pair->RowsCut)
        text += QString(" (the first %1 are kept)")
                    .arg(Grouped(static_cast<int64_t>(pair->Rows.size())));
    lblShown_->setText(text);
}

void frmDataCompareResults::UpdateButtons() {
    const DataTableResult* pair = rows_->Pair();
    cmdKey_->setEnabled(pair && (NeedsPickedKey(*pair) || pair->KeyFrom == KeyOrigin::Picked));
    cmdScript_->setEnabled(pair && pair->Status == DataPairStatus::Different);
    bool anyDifferent = false;
    for (const DataTableResult& t : results_->Tables)
        anyDifferent = anyDifferent || t.Status == DataPairStatus::Different;
    cmdScriptAll_->setEnabled(anyDifferent);
}

DataCompareResultsPtr frmDataCompareResults::Run(const std::string& caption,
                                                 const DataCompareRequest& request) {
    if (runComparison)
        return runComparison(caption, request);
    frmDataCompareProgress progress(this);
    return progress.ShowUp(caption, request);
}

bool frmDataCompareResults::ChooseKey() {
    const int index = CurrentTable();
    if (busy_ || index < 0 || index >= static_cast<int>(results_->Tables.size()))
        return false;
    const DataTableResult pair = results_->Tables[static_cast<size_t>(index)];
    if (!NeedsPickedKey(pair) && pair.KeyFrom != KeyOrigin::Picked)
        return false;
    busy_ = true;
    DataKeyAsker ask =
        askKey ? askKey : [this](const DataKeyQuestion& q) { return AskDataKeyInDialog(this, q); };
    // A pair compared on a picked key may be given another: the dialog starts from it.
    DataTableResult asked = pair;
    if (pair.KeyFrom == KeyOrigin::Picked) {
        asked.Status = DataPairStatus::NotComparable;
        asked.KeyFrom = KeyOrigin::None;
    }
    const std::vector<std::string> key = OfferDataKey(request_, asked, ask);
    bool again = false;
    if (!key.empty()) {
        DataCompareResultsPtr fresh =
            Run(caption_ + " - " + pair.DisplayName(), SinglePairRequest(request_, pair, key));
        if (fresh && fresh->Tables.size() == 1) {
            // The rows model shows the old results until the pair is chosen again.
            const DataCompareResultsPtr old = results_;
            results_ = ReplaceTable(*results_, static_cast<size_t>(index), *fresh);
            FillTables();
            SelectTable(index);
            again = true;
        } else if (fresh) {
            CurrentPrompter().MessageBox(
                MsgIcon::Warning, "Cannot Compare",
                "The pair could not be compared again: " +
                    (fresh->Problem.empty() ? std::string("no result.") : fresh->Problem));
        }
    }
    busy_ = false;
    return again;
}

bool frmDataCompareResults::ShowSyncScript(bool allTables) {
    if (busy_)
        return false;
    std::vector<size_t> tables;
    if (allTables) {
        for (size_t k = 0; k < results_->Tables.size(); ++k)
            if (results_->Tables[k].Status == DataPairStatus::Different)
                tables.push_back(k);
    } else {
        const int index = CurrentTable();
        if (index >= 0 && index < static_cast<int>(results_->Tables.size()) &&
            results_->Tables[static_cast<size_t>(index)].Status == DataPairStatus::Different)
            tables.push_back(static_cast<size_t>(index));
    }
    if (tables.empty()) {
        CurrentPrompter().MessageBox(MsgIcon::Information, "No Script",
                                     allTables ? "No table pair differs - there is nothing to "
                                                 "synchronise."
                                               : "The chosen pair does not differ - there is "
                                                 "nothing to synchronise.");
        return false;
    }
    busy_ = true;
    const std::string covers = tables.size() == 1 ? results_->Tables[tables.front()].DisplayName()
                                                  : "all differing tables";
    bool held = true;
    for (size_t k : tables)
        held = held && ResultsHoldEveryRow(results_->Tables[k]);
    std::string script;
    bool ok = true;
    if (held) {
        script = SyncScriptFromResults(*results_, tables, request_.Sync);
    } else {
        // The results keep only the first rows of a large difference (or were cut short): the
        // script needs every row, so the pairs are compared again and written as they come.
        std::string error;
        DataCompareEngine engine = [&script, &error](const DataCompareRequest& r,
                                                     ProgressSink& sink,
                                                     const CancelToken& cancel) {
            auto out = std::make_shared<DataCompareResults>();
            if (!CompareForSyncScript(r, sink, cancel, script, error)) {
                out->Outcome =
                    cancel.cancelRequested() ? RunOutcome::Cancelled : RunOutcome::Failed;
                out->Problem = error;
            }
            return DataCompareResultsPtr(out);
        };
        frmDataCompareProgress progress(this);
        DataCompareResultsPtr run = progress.ShowUp(
            "Synchronisation Script - " + covers, RequestFor(request_, *results_, tables), engine);
        if (!run || !run->Complete()) {
            ok = false;
            CurrentPrompter().MessageBox(
                MsgIcon::Warning, "No Script",
                "The script was not made: the comparison it needs did not complete" +
                    (run && !run->Problem.empty() ? " (" + run->Problem + ")." : std::string(".")));
        }
    }
    if (ok) {
        if (showScript)
            showScript(script, covers, ScriptFileName(covers));
        else {
            frmSyncScript window(script, covers, ScriptFileName(covers), this);
            window.exec();
        }
    }
    busy_ = false;
    return ok;
}

std::string frmDataCompareResults::ReportText() const {
    // Report texts break lines with CR LF, whatever the writer gave.
    std::string text;
    for (char c : DataCompareText(*results_)) {
        if (c == '\n' && (text.empty() || text.back() != '\r'))
            text += '\r';
        text += c;
    }
    const DataTableResult* pair = rows_->Pair();
    if (!pair || rows_->rowCount() == 0)
        return text;
    // The rows shown of the chosen pair, tab-separated, as a spreadsheet takes them.
    if (!text.empty() && text.back() != '\n')
        text += "\r\n";
    text += "\r\n" + pair->DisplayName() + "\r\n";
    auto clean = [](QString s) {
        s.replace('\t', ' ').replace('\r', ' ').replace('\n', ' ');
        return s.toStdString();
    };
    for (int c = 0; c < rows_->columnCount(); ++c)
        text += (c ? "\t" : "") +
                clean(rows_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
    text += "\r\n";
    for (int r = 0; r < rows_->rowCount(); ++r) {
        for (int c = 0; c < rows_->columnCount(); ++c)
            text += (c ? "\t" : "") + clean(rows_->CellText(r, c));
        text += "\r\n";
    }
    return text;
}

void frmDataCompareResults::CopyToClipboard() {
    CurrentPrompter().SetClipboardText(ReportText());
}

void frmDataCompareResults::ExportToFile() {
    if (busy_)
        return;
    busy_ = true;
    if (const std::optional<ResultsExportTarget> target =
            AskResultsExportTarget("DataComparison.html")) {
        std::string error;
        if (!WriteExportFile(target->Path,
                             target->Type == kExportHtml
                                 ? DataCompareHtml(*results_, Settings().MaxRowsInDiffTable)
                                 : DataRowsCsv(*results_),
                             error))
            CurrentPrompter().MessageBox(MsgIcon::Error, "Cannot Export", error);
        else
            exportPath_ = target->Path;
    }
    busy_ = false;
}

void frmDataCompareResults::PrintNow() {
    if (busy_)
        return;
    busy_ = true;
    txtReport_->SetText(ReportText());
    // A print the user cancelled is not remembered as printed (a saved process would print).
    if (PrintViewOrOfferPdf(*txtReport_))
        printed_ = true;
    busy_ = false;
}

void frmDataCompareResults::SaveComparison() {
    if (busy_)
        return;
    // The caption names the scope the comparison was started with.
    const int32_t subType = caption_ == DataCompareCaption(DataCompareScope::SinglePair)
                                ? kCompSubTypeDataSinglePair
                                : kCompSubTypeDataSelected;
    SaveComparisonAndTell(DescribeDataCompare(*results_, request_, subType, exportPath_, printed_),
                          this);
}

void frmDataCompareResults::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace orv
