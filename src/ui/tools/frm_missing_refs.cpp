#include "ui/tools/frm_missing_refs.h"

#include "core/help_topic.h"
#include "core/settings.h"
#include "ui/tools/catalog_load_job.h"
#include "ui/widgets/gauge.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/screen_bounds.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace orv {

std::string MissingReferencesCaption(const std::string& server, const std::string& database,
                                     const std::string& module) {
    return "References to Non-existent Objects - " +
           (module.empty() ? server + "." + database : database + "." + module);
}

frmMissingReferences::frmMissingReferences(int panel, const ServerEntry& server,
                                           const std::string& database, const std::string& module,
                                           std::shared_ptr<DbCatalogCache> cache, QWidget* parent)
    : QDialog(parent), panel_(panel), server_(server), database_(database), module_(module) {
    setObjectName("frmMissingReferences");
    setWindowTitle(Q(MissingReferencesCaption(server.Name, database, module)));
    job_ = new CatalogLoadJob(std::move(cache), this);

    lblSummary_ = new QLabel(this);
    LetLabelGiveWay(lblSummary_);
    lblSummary_->setObjectName("lblSummary");
    lblSummary_->setTextFormat(Qt::PlainText);
    prbProgress_ = new Gauge(this);
    prbProgress_->setObjectName("prbProgress");
    prbProgress_->ReadProperties(
        {{"BorderStyle", 1}, {"FillColor", QColor(31, 78, 156)}, {"Value", 0}});
    prbProgress_->setFixedHeight(16);
    lvwResults_ = new QTreeWidget(this);
    lvwResults_->setObjectName("lvwResults");
    lvwResults_->setRootIsDecorated(false);
    lvwResults_->installEventFilter(this);
    lvwResults_->setUniformRowHeights(true);
    lvwResults_->setAllColumnsShowFocus(true);
    lvwResults_->setHeaderLabels({"Module", "Line", "Reference", "Reason"});
    lvwResults_->setToolTip("Double-click a reference to show it in its module");
    lvwResults_->header()->resizeSection(0, 200);
    lvwResults_->header()->resizeSection(1, 50);
    lvwResults_->header()->resizeSection(2, 240);

    cmdStop_ = new QPushButton("&Stop", this);
    cmdStop_->setObjectName("cmdStop");
    cmdStop_->setToolTip("Stop reading the catalog (Esc)");
    cmdClose_ = new QPushButton("Close", this);
    cmdClose_->setObjectName("cmdClose");
    cmdClose_->setToolTip("Close the window (Esc)");
    cmdHelp_ = new QPushButton("&Help", this);
    cmdHelp_->setObjectName("cmdHelp");
    cmdHelp_->setToolTip("Display Help (F1)");
    for (QPushButton* b : {cmdStop_, cmdClose_, cmdHelp_})
        b->setAutoDefault(false);
    cmdClose_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {cmdStop_, cmdClose_, cmdHelp_})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary_);
    layout->addWidget(prbProgress_);
    layout->addWidget(lvwResults_, 1);
    layout->addLayout(buttons);
    resize(720, 420);

    connect(cmdStop_, &QPushButton::clicked, this, &frmMissingReferences::Stop);
    connect(cmdClose_, &QPushButton::clicked, this, &QDialog::close);
    connect(cmdHelp_, &QPushButton::clicked, this,
            [] { ShowHelpTopic(kHelpTopicMissingReferences); });
    connect(lvwResults_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { ChooseRow(lvwResults_->indexOfTopLevelItem(item)); });
    connect(&job_->Sink(), &QtProgressSink::Changed, this, [this](const ProgressSnapshot& s) {
        lblSummary_->setText(Q(s.Step + (s.Item.empty() ? "" : ": " + s.Item)));
        prbProgress_->SetMax(1000);
        prbProgress_->SetValue(static_cast<int32_t>(s.Done % 1000));
    });
}

frmMissingReferences::~frmMissingReferences() = default;

bool frmMissingReferences::Loading() const {
    return job_->Running();
}

bool frmMissingReferences::eventFilter(QObject* watched, QEvent* event) {
    // Enter on a result shows it; it does not press the window's default button.
    if (watched == lvwResults_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ChooseRow(lvwResults_->indexOfTopLevelItem(lvwResults_->currentItem()));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmMissingReferences::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        ShowHelpTopic(kHelpTopicMissingReferences);
        return;
    }
    if (event->key() == Qt::Key_Escape && Loading()) {
        Stop();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmMissingReferences::Run() {
    if (Loading())
        return;
    findings_.clear();
    lvwResults_->clear();
    cmdStop_->setEnabled(true);
    prbProgress_->setVisible(true);
    lblSummary_->setText(Q("Reading the catalog of " + database_ + "..."));
    job_->Start(QueryPlace{server_, database_, Settings().Timeout}, ReferenceCheckTypes(),
                CurrentCatalogReadOptions(), [this](const CatalogLoad& load) { Loaded(load); });
}

void frmMissingReferences::Stop() {
    if (!Loading())
        return;
    job_->Stop();
    cmdStop_->setEnabled(false);
    lblSummary_->setText("Stopping...");
}

void frmMissingReferences::Loaded(const CatalogLoad& load) {
    cmdStop_->setEnabled(false);
    prbProgress_->setVisible(false);
    if (!CatalogLoadUsable(load, lblSummary_, "Stopped - nothing was checked.")) {
        emit checked();
        return;
    }
    bool found = false;
    findings_ = CheckCatalogReferences(*load.Catalog, module_, &found);
    // The missing ones first, those that could not be checked after them, each in text order.
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const ReferenceFinding& a, const ReferenceFinding& b) {
                         return !a.NotChecked() && b.NotChecked();
                     });
    QList<QTreeWidgetItem*> items;
    size_t missing = 0;
    for (const ReferenceFinding& f : findings_) {
        missing += f.NotChecked() ? 0 : 1;
        items.push_back(new QTreeWidgetItem(
            {Q(f.Module()), QString::number(f.Line), Q(f.Reference), Q(f.Reason)}));
    }
    lvwResults_->addTopLevelItems(items);
    const size_t unchecked = findings_.size() - missing;
    QString summary;
    if (!module_.empty() && !found)
        summary = Q("There is no procedure, function, view or trigger " + module_ + " in " +
                    database_ + ".");
    else if (missing == 0)
        summary = "No reference to a non-existent object was found.";
    else
        summary = QString("%1 reference%2 to non-existent objects.")
                      .arg(missing)
                      .arg(missing == 1 ? "" : "s");
    if (unchecked > 0)
        summary += QString(" %1 reference%2 to other databases or servers not checked.")
                       .arg(unchecked)
                       .arg(unchecked == 1 ? "" : "s");
    lblSummary_->setText(summary);
    if (!findings_.empty())
        lvwResults_->setCurrentItem(lvwResults_->topLevelItem(0));
    emit checked();
}

void frmMissingReferences::ChooseRow(int row) {
    if (const ReferenceFinding* f = FindingAt(row); f && onFindingChosen)
        onFindingChosen(panel_, *f);
}

const ReferenceFinding* frmMissingReferences::FindingAt(int row) const {
    return row >= 0 && static_cast<size_t>(row) < findings_.size()
               ? &findings_[static_cast<size_t>(row)]
               : nullptr;
}

} // namespace orv
