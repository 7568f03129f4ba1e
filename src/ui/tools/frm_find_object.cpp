#include "ui/tools/frm_find_object.h"

#include "catalog/object_types.h"
#include "core/help_topic.h"
#include "core/settings.h"
#include "ui/tools/catalog_load_job.h"
#include "ui/widgets/gauge.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/screen_bounds.h"
#include "util/prompter.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace orv {

namespace {

constexpr size_t kMatchLimit = 10000;
constexpr const char* kCannotFind = "Cannot Find";
const ObjectType kTypes[5] = {kTypeTable, kTypeProcedure, kTypeFunction, kTypeView, kTypeTrigger};
const char* const kTypeCaptions[5] = {"Ta&bles", "&Procedures", "F&unctions", "&Views",
                                      "T&riggers"};

QCheckBox* Check(QWidget* parent, const char* name, const char* caption, bool on) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    c->setChecked(on);
    return c;
}

} // namespace

std::string FindObjectCaption(int panel, const std::string& server, const std::string& database) {
    return std::string("Find Object - ") + (panel == 0 ? "Source" : "Target") + " Database (" +
           server + "." + database + ")";
}

frmFindObject::frmFindObject(int panel, const ServerEntry& server, const std::string& database,
                             std::shared_ptr<DbCatalogCache> cache, QWidget* parent)
    : QDialog(parent), panel_(panel), server_(server), database_(database),
      cache_(std::move(cache)) {
    setObjectName("frmFindObject");
    setWindowTitle(Q(FindObjectCaption(panel, server.Name, database)));
    job_ = new CatalogLoadJob(cache_, this);

    auto* what = new QLabel("Find &what:", this);
    txtPattern_ = new QLineEdit(this);
    txtPattern_->setObjectName("txtPattern");
    txtPattern_->setToolTip("The text to find; * stands for any characters, ? for one");
    what->setBuddy(txtPattern_);
    chkRegex_ = Check(this, "chkRegex", "Regular e&xpression", false);
    chkRegex_->setToolTip("Treat the text as a regular expression");

    auto* in = new QGroupBox("Look in", this);
    chkNames_ = Check(in, "chkNames", "&Names", true);
    chkTexts_ = Check(in, "chkTexts", "Definition &texts", false);
    chkColumns_ = Check(in, "chkColumns", "C&olumn names", false);
    auto* inLayout = new QVBoxLayout(in);
    for (QCheckBox* c : {chkNames_, chkTexts_, chkColumns_})
        inLayout->addWidget(c);

    auto* types = new QGroupBox("Object types", this);
    auto* typesLayout = new QGridLayout(types);
    for (int k = 0; k < 5; ++k) {
        chkType_[static_cast<size_t>(k)] =
            Check(types, ("chkType(" + std::to_string(k) + ")").c_str(), kTypeCaptions[k], true);
        typesLayout->addWidget(chkType_[static_cast<size_t>(k)], k % 3, k / 3);
    }

    cmdFind_ = new QPushButton("&Find", this);
    cmdFind_->setObjectName("cmdFind");
    cmdFind_->setDefault(true);
    cmdFind_->setToolTip("Search the database (Enter)");
    cmdStop_ = new QPushButton("&Stop", this);
    cmdStop_->setObjectName("cmdStop");
    cmdStop_->setToolTip("Stop reading the catalog");
    cmdStop_->setEnabled(false);
    cmdClose_ = new QPushButton("Close", this);
    cmdClose_->setObjectName("cmdClose");
    cmdClose_->setToolTip("Close the window (Esc)");
    cmdHelp_ = new QPushButton("&Help", this);
    cmdHelp_->setObjectName("cmdHelp");
    cmdHelp_->setToolTip("Display Help (F1)");
    for (QPushButton* b : {cmdStop_, cmdClose_, cmdHelp_})
        b->setAutoDefault(false);

    prbProgress_ = new Gauge(this);
    prbProgress_->setObjectName("prbProgress");
    prbProgress_->ReadProperties(
        {{"BorderStyle", 1}, {"FillColor", QColor(31, 78, 156)}, {"Value", 0}});
    prbProgress_->setFixedHeight(16);
    prbProgress_->setVisible(false);
    lblStatus_ = new QLabel(this);
    lblStatus_->setObjectName("lblStatus");
    lblStatus_->setTextFormat(Qt::PlainText);
    LetLabelGiveWay(lblStatus_);

    lvwResults_ = new QTreeWidget(this);
    lvwResults_->setObjectName("lvwResults");
    lvwResults_->setRootIsDecorated(false);
    lvwResults_->installEventFilter(this);
    lvwResults_->setUniformRowHeights(true);
    lvwResults_->setAllColumnsShowFocus(true);
    lvwResults_->setHeaderLabels({"Type", "Schema", "Name", "Where", "Line"});
    lvwResults_->setToolTip("Double-click a match to show it in its panel");
    lvwResults_->header()->resizeSection(0, 80);
    lvwResults_->header()->resizeSection(1, 70);
    lvwResults_->header()->resizeSection(2, 170);
    lvwResults_->header()->resizeSection(3, 110);

    auto* top = new QGridLayout;
    top->addWidget(what, 0, 0);
    top->addWidget(txtPattern_, 0, 1, 1, 2);
    top->addWidget(chkRegex_, 1, 1, 1, 2);
    top->addWidget(in, 2, 0, 1, 2);
    top->addWidget(types, 2, 2);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {cmdFind_, cmdStop_, cmdClose_, cmdHelp_})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* upper = new QHBoxLayout;
    upper->addLayout(top, 1);
    upper->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(upper);
    layout->addWidget(prbProgress_);
    layout->addWidget(lblStatus_);
    layout->addWidget(lvwResults_, 1);
    resize(680, 520);

    connect(cmdFind_, &QPushButton::clicked, this, &frmFindObject::Find);
    connect(cmdStop_, &QPushButton::clicked, this, &frmFindObject::Stop);
    connect(cmdClose_, &QPushButton::clicked, this, &QDialog::close);
    connect(cmdHelp_, &QPushButton::clicked, this, [] { ShowHelpTopic(kHelpTopicFindObject); });
    connect(lvwResults_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { ChooseRow(lvwResults_->indexOfTopLevelItem(item)); });
    connect(&job_->Sink(), &QtProgressSink::Changed, this, [this](const ProgressSnapshot& s) {
        lblStatus_->setText(Q(s.Step + (s.Item.empty() ? "" : ": " + s.Item)));
        prbProgress_->SetMax(1000);
        prbProgress_->SetValue(static_cast<int32_t>(s.Done % 1000));
    });
}

frmFindObject::~frmFindObject() = default;

bool frmFindObject::Loading() const {
    return job_->Running();
}

bool frmFindObject::eventFilter(QObject* watched, QEvent* event) {
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

void frmFindObject::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        ShowHelpTopic(kHelpTopicFindObject);
        return;
    }
    if (event->key() == Qt::Key_Escape && Loading()) {
        Stop();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmFindObject::Find() {
    if (Loading())
        return;
    SearchRequest request;
    request.Pattern = txtPattern_->text().toStdString();
    request.Regex = chkRegex_->isChecked();
    request.CaseSensitive = Settings().CaseSensitive;
    request.In = (chkNames_->isChecked() ? kSearchNames : 0u) |
                 (chkTexts_->isChecked() ? kSearchTexts : 0u) |
                 (chkColumns_->isChecked() ? kSearchColumns : 0u);
    for (int k = 0; k < 5; ++k)
        if (chkType_[static_cast<size_t>(k)]->isChecked())
            request.Types.push_back(kTypes[k]);
    std::string error;
    pattern_ = SearchPattern::Compile(request.Pattern, request.Regex, request.CaseSensitive, error);
    if (!pattern_) {
        CurrentPrompter().MessageBox(MsgIcon::Warning, kCannotFind, error);
        txtPattern_->setFocus();
        return;
    }
    if (request.In == 0 || request.Types.empty()) {
        CurrentPrompter().MessageBox(MsgIcon::Information, kCannotFind,
                                     request.In == 0
                                         ? "Please tick at least one of Names, Definition texts "
                                           "and Column names."
                                         : "Please tick at least one object type.");
        return;
    }
    QueryPlace place{server_, database_, Settings().Timeout};
    SetLoading(true);
    job_->Start(place, request.Types, CurrentCatalogReadOptions(),
                [this, request](const CatalogLoad& load) { Loaded(load, request); });
}

void frmFindObject::Stop() {
    if (!Loading())
        return;
    job_->Stop();
    cmdStop_->setEnabled(false);
    lblStatus_->setText("Stopping...");
}

void frmFindObject::SetLoading(bool on) {
    cmdFind_->setEnabled(!on);
    cmdStop_->setEnabled(on);
    prbProgress_->setVisible(on);
    if (on)
        lblStatus_->setText(Q("Reading the catalog of " + database_ + "..."));
}

void frmFindObject::Loaded(const CatalogLoad& load, const SearchRequest& request) {
    SetLoading(false);
    if (!CatalogLoadUsable(load, lblStatus_, "Stopped - nothing was searched.")) {
        emit searched();
        return;
    }
    ShowResults(*load.Catalog, request);
}

void frmFindObject::ShowResults(const DbCatalog& catalog, const SearchRequest& request) {
    SearchResult result = SearchCatalog(catalog, request, *pattern_, nullptr, kMatchLimit);
    matches_ = std::move(result.Matches);
    lvwResults_->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(matches_.size()));
    for (const SearchMatch& m : matches_) {
        auto* item =
            new QTreeWidgetItem({Q(GetObjectTypeName(m.Type, true)), Q(m.Schema), Q(m.Name),
                                 Q(m.WhereText()), Q(m.LineText).replace('\t', ' ').trimmed()});
        items.push_back(item);
    }
    lvwResults_->addTopLevelItems(items);
    const QString count =
        QLocale(QLocale::English).toString(static_cast<qlonglong>(matches_.size()));
    lblStatus_->setText(
        matches_.empty() ? QString("No match found.")
        : result.Truncated
            ? QString("The first %1 matches are shown.").arg(count)
            : QString("%1 match%2 found.").arg(count, matches_.size() == 1 ? "" : "es"));
    if (!matches_.empty())
        lvwResults_->setCurrentItem(lvwResults_->topLevelItem(0));
    emit searched();
}

const SearchMatch* frmFindObject::MatchAt(int row) const {
    return row >= 0 && static_cast<size_t>(row) < matches_.size()
               ? &matches_[static_cast<size_t>(row)]
               : nullptr;
}

void frmFindObject::ChooseRow(int row) {
    if (const SearchMatch* m = MatchAt(row); m && onMatchChosen)
        onMatchChosen(panel_, *m);
}

} // namespace orv
