#include "ui/settings/frm_options.h"

#include "ui/settings/numeric_box.h"
#include "ui/widgets/qt_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

namespace orv {
namespace {

constexpr int kRowsPage = 2;
constexpr int kPageWidth = 430;

constexpr const char* kReadingHelp =
    "Whole-database comparisons can read a fingerprint of every procedure, function, view and "
    "trigger first, and then the texts of only those whose fingerprints differ: over a slow "
    "link this reads a small part of what reading every text takes, with the same results. "
    "Fingerprints need SQL Server 2005 or later on both sides.";
constexpr const char* kCompleteTableScriptsHelp =
    "Table scripts then also list defaults, CHECK and UNIQUE constraints, mark unique indexes "
    "and non-clustered primary keys, and give relationships all their column pairs.";
constexpr const char* kIgnoreSystemNamesHelp =
    "A constraint created without a name gets one made up by the server, different in every "
    "database. With this option such names are left out of complete table scripts, so they "
    "make no difference in comparisons, and CREATE statements let the server name the "
    "constraint again.";
constexpr const char* kSyncDisableTriggersHelp =
    "Synchronisation scripts then switch the Target's triggers off on each table they change "
    "and back on at the end, so that a trigger does not act on the script's own statements.";

constexpr const char* kClassicLineMatchingHelp =
    "Differing lines are marked by matching the two whole texts, so a line that is the same on "
    "both sides is never marked. With this option on, the lines are matched as in earlier "
    "versions instead: the matching looks at most 20 lines ahead, so a longer inserted or "
    "deleted block, and the lines after it, show as changed lines. Whether two objects are "
    "identical does not depend on this option.";

QLabel* MakeText(const std::string& text, QWidget* parent) {
    auto* label = new QLabel(Q(text), parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLineEdit* MakeNumberBox(const char* name, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setMaxLength(8);
    box->setFixedWidth(90);
    NumericBoxFilter::Install(box);
    return box;
}

QPushButton* MakeButton(const char* name, const char* text, const char* tip, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

} // namespace

frmOptions::frmOptions(QWidget* parent) : QDialog(parent) {
    setObjectName("frmOptions");
    setWindowTitle("Options");
    setModal(true);

    tabs_ = new QListWidget(this);
    tabs_->setObjectName("tabOptions");
    tabs_->setFixedWidth(170);
    tabs_->setSelectionMode(QAbstractItemView::SingleSelection);
    pages_ = new QStackedWidget(this);
    pages_->setFixedWidth(kPageWidth + 24);
    BuildPages();

    cmdOK_ = MakeButton("cmdOK", "OK", "Save the changes and close Options window", this);
    cmdApply_ =
        MakeButton("cmdApply", "Apply", "Save the changes and keep Options window open", this);
    cmdCancel_ =
        MakeButton("cmdCancel", "Cancel", "Cancel the changes and close Options window", this);

    auto* body = new QHBoxLayout;
    body->addWidget(tabs_);
    body->addWidget(pages_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdApply_);
    buttons->addWidget(cmdCancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);

    connect(tabs_, &QListWidget::currentRowChanged, this, &frmOptions::PageChanged);
    connect(cmdOK_, &QPushButton::clicked, this, &frmOptions::OK);
    connect(cmdApply_, &QPushButton::clicked, this, &frmOptions::Apply);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);

    LoadValues();
    tabs_->setCurrentRow(0);
    resize(sizeHint().expandedTo(QSize(660, 400)));
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

frmOptions::~frmOptions() = default;

void frmOptions::ShowUp(bool& pblnSaved) {
    optionsSaved_ = false;
    exec();
    pblnSaved = optionsSaved_;
}

QWidget* frmOptions::AddPage(const char* caption, const char* toolTip,
                             const std::vector<std::string>& texts, QWidget* control) {
    auto* page = new QWidget(pages_);
    auto* layout = new QVBoxLayout(page);
    std::vector<QLabel*> labels;
    // The first text introduces the control; any further text explains it below.
    for (size_t i = 0; i < texts.size(); ++i) {
        QLabel* label = MakeText(texts[i], page);
        label->setObjectName(QString("lblText%1").arg(i));
        labels.push_back(label);
        layout->addWidget(label);
        if (i == 0) {
            layout->addSpacing(6);
            control->setParent(page);
            layout->addWidget(control);
            layout->addSpacing(10);
        }
    }
    layout->addStretch();
    pages_->addWidget(page);
    pageLabels_.push_back(labels);

    auto* item = new QListWidgetItem(caption, tabs_);
    item->setToolTip(toolTip);
    return page;
}

QCheckBox* frmOptions::AddCheckPage(const char* name, const char* checkCaption, const char* caption,
                                    const char* toolTip, const std::vector<std::string>& texts) {
    auto* check = new QCheckBox(checkCaption);
    check->setObjectName(name);
    AddPage(caption, toolTip, texts, check);
    return check;
}

QCheckBox* frmOptions::AddCheckBelow(int pageIndex, const char* name, const char* checkCaption,
                                     const char* helpName, const char* help) {
    QWidget* page = pages_->widget(pageIndex);
    auto* layout = static_cast<QVBoxLayout*>(page->layout());
    auto* check = new QCheckBox(checkCaption, page);
    check->setObjectName(name);
    QLabel* label = MakeText(help, page);
    label->setObjectName(helpName);
    // Above the stretch that ends the page.
    const int stretch = layout->count() - 1;
    layout->insertWidget(stretch, check);
    layout->insertWidget(stretch + 1, label);
    pageLabels_[static_cast<size_t>(pageIndex)].push_back(label);
    return check;
}

void frmOptions::BuildPages() {
    chkAutoConnect_ =
        AddCheckPage("chkAutoConnect", "Connect to SQL Server(s) at startup", "Auto Connect",
                     "The program can automatically connect to SQL Server(s) at startup",
                     {"The program can automatically connect to SQL Server(s) at startup."});

    chkShowOwners_ = AddCheckPage(
        "chkShowOwners", "Show Ownership of database objects", "Show Owners",
        "The program can show Ownership property of objects",
        {"The program can show Ownership property of objects.",
         "Each database object is owned by either a user or a role.  If the owner is a role, the "
         "object is co-owned by every user belonging to that role.\n\n(Each object also has "
         "privileges associated with it.  A privilege grants a particular authority to an object "
         "for either an individual user or for all users belonging to a particular role.)"});

    txtMaxRows_ = MakeNumberBox("txtMaxRows", nullptr);
    AddPage("Rows to Display",
            "You can specify maximum number of rows to be displayed in differences table",
            {"When comparing data in selected tables, differences are displayed in a table.\n\nIf "
             "the number of rows with different data reaches couple of thousands, it is not "
             "practical to display all of them on the screen.\n\nYou can specify maximum number "
             "of rows to be displayed in differences table."},
            txtMaxRows_);
    {
        // The data comparison's page also holds how its synchronisation scripts are written.
        auto* page = pages_->widget(pages_->count() - 1);
        auto* layout = static_cast<QVBoxLayout*>(page->layout());
        chkSyncDisableTriggers_ =
            new QCheckBox("Disable triggers in synchronisation scripts", page);
        chkSyncDisableTriggers_->setObjectName("chkSyncDisableTriggers");
        QLabel* help = MakeText(kSyncDisableTriggersHelp, page);
        help->setObjectName("lblSyncDisableTriggers");
        const int stretch = layout->count() - 1;
        layout->insertWidget(stretch, chkSyncDisableTriggers_);
        layout->insertWidget(stretch + 1, help);
        pageLabels_.back().push_back(help);
    }

    chkCaseSensitive_ = AddCheckPage(
        "chkCaseSensitive", "Make comparisons case sensitive", "Case Sensitivity",
        "All comparisons can be case sensitive or insensitive",
        {"All comparisons are by default case insensitive.\nYou can make them case sensitive by "
         "checking on the checkbox below.",
         "Term 'case sensitivity' describes a program's ability to distinguish between uppercase "
         "(capital) and lowercase (small) letters.\n\nA default SQL Server installation is case "
         "insensitive, which means that SQL Server will not differentiate between upper and lower "
         "case characters/letters.\nThat is, 'Select' is the same as 'SELECT' or 'select'."});

    chkIgnoreWhitespaces_ = AddCheckPage(
        "chkIgnoreWhitespaces", "Ignore whitespaces", "Whitespace",
        "All whitespace characters can be ignored during comparisons",
        {"By default, all whitespace characters (spaces. tabs and newlines) are ignored during "
         "comparisons.",
         "This option can be turned off, which would cause the whitespaces to be recognized "
         "during comparisons."});
    // How differing lines are marked sits with how lines are compared.
    chkClassicLineMatching_ = AddCheckBelow(pages_->count() - 1, "chkClassicLineMatching",
                                            "Classic line matching (20-line look-ahead)",
                                            "lblClassicLineMatching", kClassicLineMatchingHelp);

    chkIgnoreComments_ = AddCheckPage(
        "chkIgnoreComments", "Ignore comments", "Ignore Comments",
        "Comments can be ignored during comparisons of stored procedures, triggers, functions "
        "and views",
        {"The program can ignore all comments during comparisons.",
         "When this option is turned on, all comments in stored procedures, triggers, functions "
         "and views are ignored during comparisons.\n\n(SQL Server supports two types of "
         "commenting characters:\n     -- double hyphens, and\n     /* ... */ forward "
         "slash-asterisk character pairs.)"});

    chkIgnoreIndexes_ = AddCheckPage(
        "chkIgnoreIndexes", "Ignore indexes", "Ignore Indexes",
        "Indexes can be ignored during comparisons of tables",
        {"The program can ignore all indexes during comparisons of tables.",
         "When this option is turned on, all indexes (primary keys, clustered and non-clustered "
         "indexes) are ignored during comparisons of tables."});
    {
        // The page of the table comparison settings also holds the complete-script option.
        auto* page = pages_->widget(pages_->count() - 1);
        auto* layout = static_cast<QVBoxLayout*>(page->layout());
        chkCompleteTableScripts_ = new QCheckBox("Complete table scripts", page);
        chkCompleteTableScripts_->setObjectName("chkCompleteTableScripts");
        QLabel* help = MakeText(kCompleteTableScriptsHelp, page);
        help->setObjectName("lblCompleteTableScripts");
        const int stretch = layout->count() - 1;
        layout->insertWidget(stretch, chkCompleteTableScripts_);
        layout->insertWidget(stretch + 1, help);
        pageLabels_.back().push_back(help);
        // Names matter only in the complete form, so the option is open only with it.
        chkIgnoreSystemNames_ = new QCheckBox("Ignore system-generated constraint names", page);
        chkIgnoreSystemNames_->setObjectName("chkIgnoreSystemConstraintNames");
        QLabel* namesHelp = MakeText(kIgnoreSystemNamesHelp, page);
        namesHelp->setObjectName("lblIgnoreSystemConstraintNames");
        layout->insertWidget(stretch + 2, chkIgnoreSystemNames_);
        layout->insertWidget(stretch + 3, namesHelp);
        pageLabels_.back().push_back(namesHelp);
        connect(chkCompleteTableScripts_, &QCheckBox::toggled, chkIgnoreSystemNames_,
                &QWidget::setEnabled);
    }

    auto* cursor = new QWidget;
    auto* cursorLayout = new QVBoxLayout(cursor);
    cursorLayout->setContentsMargins(0, 0, 0, 0);
    optCurLoc_[0] = new QRadioButton("Client-side", cursor);
    optCurLoc_[0]->setObjectName("optCurLoc(0)");
    optCurLoc_[1] = new QRadioButton("Server-side", cursor);
    optCurLoc_[1]->setObjectName("optCurLoc(1)");
    cursorLayout->addWidget(optCurLoc_[0]);
    cursorLayout->addWidget(optCurLoc_[1]);
    AddPage("Cursor Location", "You can set the location of the cursor for the current recordset",
            {"Cursor location tells the program where to create a recordset returned from calling "
             "the Execute method."},
            cursor);

    txtCacheSize_ = MakeNumberBox("txtCacheSize", nullptr);
    AddPage("Cache Size",
            "You can specify the number of records cached in local memory (applies only to "
            "server-side cursor location)",
            {"The Cache Size option sets the number of records that the data provider keeps in "
             "the buffer. The default value is one, which means that only one record at a time "
             "is retrieved into local memory.",
             "This property is used to fine-tune server-side cursors.\nBecause the recordset data "
             "resides remotely on SQL Server, each time ORV accesses a record it must make a "
             "round trip to the server. Tuning the Cache Size stores more records locally and "
             "makes data access performance much faster."},
            txtCacheSize_);
    {
        // How whole-database comparisons read module texts sits with the other setting on
        // reading from the server: over a slow link, fingerprints first and texts only where
        // they differ.
        auto* page = pages_->widget(pages_->count() - 1);
        auto* layout = static_cast<QVBoxLayout*>(page->layout());
        int at = layout->count() - 1; // above the stretch that ends the page
        QLabel* intro = MakeText(kReadingHelp, page);
        intro->setObjectName("lblReading");
        layout->insertSpacing(at++, 10);
        layout->insertWidget(at++, intro);
        pageLabels_.back().push_back(intro);
        const char* const captions[3] = {
            "Automatic: fingerprints first where both servers have them",
            "Read every module text in full", "Fingerprints first, texts only where they differ"};
        for (int i = 0; i < 3; ++i) {
            optReading_[i] = new QRadioButton(captions[i], page);
            optReading_[i]->setObjectName(QString("optReading(%1)").arg(i));
            layout->insertWidget(at++, optReading_[i]);
        }
    }

    chkIgnoreSysObjects_ = AddCheckPage(
        "chkIgnoreSysObjects", "Ignore system objects", "Ignore Sys. Objects",
        "System objects can be ignored during comparisons",
        {"The program can ignore all system objects during comparisons.",
         "When this option is turned on, all system objects are ignored during comparisons.\n"
         "System stored procedures and UDFs can be found in the master database (for pre-SQL "
         "Server 2005) or in hidden resource database (for SQL Server 2005 or newer).  These "
         "objects can be executed from any database and will run from the context of that "
         "database.\nSince by definition system objects are the same for all databases within "
         "given server, comparing system objects makes sense only when comparing databases from "
         "different servers."});

    chkDataComp_ = AddCheckPage(
        "chkDataComp", "Show Data Comparison Options screen", "Data Comparison",
        "You can turn on/off Data Comparison Options screen",
        {"You can turn on/off Data Comparison Options screen",
         "When this option is set on, the program displays 'Data Comparison Options' screen "
         "before comparing data to allow for customizations of comparison process.\n\nWhen this "
         "option is set off, you can still trigger displaying the options dialog by pressing "
         "SHIFT key while clicking 'Compare Data' button on the main screen."});

    chkPreserveDbSel_ = AddCheckPage(
        "chkPreserveDbSel", "Preserve database selection", "Preserve Selection",
        "The program can preserve database selection",
        {"The program can preserve database selection (i.e. 'remember' the last database it "
         "accessed for given server)."});

    chkIgnoreColSeq_ = AddCheckPage(
        "chkIgnoreColSeq", "Ignore columns order", "Columns Order",
        "Determine if column's order is to be ignored during structure comparisons",
        {"The program can ignore columns order when comparing structure of objects.",
         "When this option is set on, the program considers two tables with the same columns but "
         "ordered differently as having the same structure.\n\nNote: Please note that this "
         "option applies not only to tables but also to other objects (like views, relationships "
         "etc)."});

    chkAutoSelTargetObj_ = AddCheckPage(
        "chkAutoSelTargetObj", "Automatically select Target object", "Target Selection",
        "When the user selects Source object, the program can automatically find the match in "
        "Target object",
        {"When the user selects Source object, the program can try to find matching object in "
         "Target database.  If the match is found, the program can automatically select Target "
         "object.",
         "This option is useful when there are many objects of given type.\nSome databases have "
         "thousands of tables, stored procedures, etc, and manual matching of objects to be "
         "compared may be tedious, time consuming and error prone.\nOption of automatic "
         "selection of Target objects is designed to solve this problem."});

    chkAnalyzeConstraints_ = AddCheckPage(
        "chkAnalyzeConstraints", "Treat Constraints as a separate object type",
        "Analyze Constraints",
        "Program can treat Constraints as a separate object type (along with Tables, "
        "Procedures, etc)",
        {"Program can treat Constraints as a separate object type (along with Tables, "
         "Procedures, etc).  When this option is set on, program can perform comparisons just "
         "on Constraints.",
         "Constraints are dealt with when comparing structures of tables, but in some cases it "
         "may be convenient to have differences in Constraints listed in separate report."});

    // The sixteenth page has no caption of its own; its entry in the strip shows an icon and
    // names the page in its tool tip, so it can still be found and chosen like the others.
    chkPrompt_ = AddCheckPage(
        "chkPrompt", "Prompt to save comparison process", "", "Prompt to save comparison process",
        {"You can turn on/off prompting to save comparison process",
         "When this option is set on, the program prompts for saving the comparison process "
         "after the process is successfully performed.\n\nPlease note that the user is prompted "
         "only if no results screen is displayed (for example when single pair of objects is "
         "compared and they are identical).\n\nEvery comparison results screen has button "
         "'Save' - clicking that buttons allows for saving the comparison process."});
    tabs_->item(tabs_->count() - 1)->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));

    for (int i = 0; i < static_cast<int>(pageLabels_.size()); ++i)
        for (QLabel* label : pageLabels_[static_cast<size_t>(i)])
            label->setMinimumWidth(kPageWidth);
}

void frmOptions::PageChanged(int page) {
    pages_->setCurrentIndex(page);
    if (page == kRowsPage)
        txtMaxRows_->setFocus(Qt::OtherFocusReason);
}

int frmOptions::PageCount() const {
    return tabs_->count();
}

std::string frmOptions::PageCaption(int page) const {
    return tabs_->item(page)->text().toStdString();
}

std::string frmOptions::PageToolTip(int page) const {
    return tabs_->item(page)->toolTip().toStdString();
}

int frmOptions::CurrentPage() const {
    return tabs_->currentRow();
}

void frmOptions::SetCurrentPage(int page) {
    tabs_->setCurrentRow(page);
}

std::vector<std::string> frmOptions::PageTexts(int page) const {
    std::vector<std::string> out;
    for (QLabel* label : pageLabels_.at(static_cast<size_t>(page)))
        out.push_back(label->text().toStdString());
    return out;
}

} // namespace orv
