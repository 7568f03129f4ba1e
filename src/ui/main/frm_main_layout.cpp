// The main window's arrangement, in twips (15 to a pixel), as designed: the owner rows follow
// ShowOwners; a 640 x 480 screen gets the compact arrangement. The arrangement is the window at
// its design size; frm_main_geometry.cpp gives the controls the room of a larger window.
#include "ui/main/frm_main.h"

#include "core/screen.h"
#include "core/settings.h"
#include "ui/main/frm_main_geometry.h"
#include "ui/widgets/panel_splitter.h"
#include "ui/widgets/qt_combo_control.h"
#include "ui/widgets/qt_list_control.h"
#include "ui/widgets/qt_text_view.h"

#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>

namespace orv {

namespace {
constexpr int kDesignWidth = 11820; // twips: the toolbar strips' width
constexpr int kDesignHeight = 7710; // twips: the panel buttons and a margin below them
constexpr int kCompactWidth = 9630;
constexpr int kCompactHeight = 6585;

int Px(int twips) {
    return TwipsToPixels(twips);
}

QLabel* MakeLabel(QWidget* parent, const QString& name, const char* text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QPushButton* MakeButton(QWidget* parent, const QString& name, const char* caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QString Indexed(const char* name, int i) {
    return QString("%1(%2)").arg(name).arg(i);
}
} // namespace

void frmMain::Place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(Px(left), Px(top), Px(width), Px(height));
}
void frmMain::SetTop(QWidget* w, int top) {
    w->move(w->x(), Px(top));
}
void frmMain::SetLeft(QWidget* w, int left) {
    w->move(Px(left), w->y());
}
void frmMain::SetWidth(QWidget* w, int width) {
    w->resize(Px(width), w->height());
}
void frmMain::SetHeight(QWidget* w, int height) {
    w->resize(w->width(), Px(height));
}

void frmMain::BuildControls() {
    central_ = new QWidget(this);
    central_->setObjectName("frmMainClient");
    setCentralWidget(central_);
    QWidget* c = central_;

    picToolbar_ = new QFrame(c);
    picToolbar_->setObjectName("picToolbar");
    picToolbar_->setFrameShape(QFrame::StyledPanel);
    Place(picToolbar_, 0, 0, kDesignWidth, 675);
    cmdConnect_ = MakeButton(picToolbar_, "cmdConnect", "&Connect");
    Place(cmdConnect_, 60, 60, 1275, 495);
    cmbType_ = new QtComboControl(picToolbar_);
    cmbType_->setObjectName("cmbType");
    Place(cmbType_, 1380, 150, 1635, 315);
    cmbType_->setToolTip("Select object type (F6)");
    cmdCompareAll_ = MakeButton(picToolbar_, "cmdCompareAll", "Compare &All");
    Place(cmdCompareAll_, 5040, 60, 1425, 495);
    cmdCompareAll_->setToolTip("Compare all objects (F8)");
    cmdCompData_ = MakeButton(picToolbar_, "cmdCompData", "Compare &Data");
    Place(cmdCompData_, 6510, 60, 1545, 495);
    cmdCompData_->setToolTip("Compare data in selected tables  (F9)");
    cmdHelp_ = MakeButton(picToolbar_, "cmdHelp", "H&elp");
    Place(cmdHelp_, 8100, 60, 945, 495);
    cmdHelp_->setToolTip("Display Help file (F1)");

    lblGen_[0] = MakeLabel(c, Indexed("lblGen", 0), "Owner");
    lblGen_[1] = MakeLabel(c, Indexed("lblGen", 1), "Owner");
    lblGen_[2] = MakeLabel(c, Indexed("lblGen", 2), "Database");
    lblGen_[3] = MakeLabel(c, Indexed("lblGen", 3), "Database");
    lblGen_[4] = MakeLabel(c, Indexed("lblGen", 4), "SQL Server - Source");
    lblGen_[5] = MakeLabel(c, Indexed("lblGen", 5), "SQL Server - Target");
    Place(lblGen_[4], 210, 750, 2295, 255);
    Place(lblGen_[5], 6210, 750, 2295, 255);
    Place(lblGen_[2], 3330, 750, 2115, 255);
    Place(lblGen_[3], 9270, 750, 2115, 255);
    Place(lblGen_[0], 210, 1500, 645, 255);
    Place(lblGen_[1], 6210, 1500, 645, 255);

    const int panelLeft[2] = {180, 6210};
    const int dbLeft[2] = {3300, 9270};
    const int ownerLeft[2] = {780, 6780};
    const int infoLabelLeft[2] = {750, 6780};
    const int smallLeft[2][3] = {{3990, 4500, 5010}, {10020, 10530, 11040}};
    const int buttonLeft[2][3] = {{180, 2160, 3810}, {6210, 8220, 9870}};
    const char* copyClip[2] = {"C&opy To Clipboard", "Cop&y To Clipboard"};
    const char* copyFile[2] = {"Co&py To File", "Copy To F&ile"};
    const char* viewData[2] = {"&View Data", "Vie&w Data"};
    for (int i = 0; i < 2; ++i) {
        cmbServer_[i] = new QtComboControl(c);
        cmbServer_[i]->setObjectName(Indexed("cmbServer", i));
        cmbServer_[i]->setToolTip("Select server");
        Place(cmbServer_[i], panelLeft[i], 1020, 2295, 315);

        pvlDb_[i] = new QtListControl(c);
        pvlDb_[i]->setObjectName(Indexed("pvlDb", i));
        Place(pvlDb_[i], dbLeft[i], 1020, 2175, 1035);

        cmbOwners_[i] = new QtComboControl(c);
        cmbOwners_[i]->setObjectName(Indexed("cmbOwners", i));
        cmbOwners_[i]->setToolTip("Select owner of database object");
        Place(cmbOwners_[i], ownerLeft[i], 1440, 2205, 315);

        cmdDbInfo_[i] = MakeButton(c, Indexed("cmdDbInfo", i), "");
        cmdDbInfo_[i]->setIcon(style()->standardIcon(QStyle::SP_FileDialogInfoView));
        cmdDbInfo_[i]->setToolTip(i == 0 ? "Database information (F10)"
                                         : "Database information (F11)");
        Place(cmdDbInfo_[i], panelLeft[i], 1590, 495, 435);
        lblDbInfo_[i] = MakeLabel(c, Indexed("lblDbInfo", i), "Database Info");
        Place(lblDbInfo_[i], infoLabelLeft[i], 1710, 1095, 225);

        pvlSqlObj_[i] = new QtListControl(c);
        pvlSqlObj_[i]->setObjectName(Indexed("pvlSqlObj", i));
        Place(pvlSqlObj_[i], panelLeft[i], 2310, 5295, 1095);

        cmdNonExistent_[i] = MakeButton(c, Indexed("cmdNonExistent", i), "");
        cmdNonExistent_[i]->setIcon(style()->standardIcon(QStyle::SP_MessageBoxQuestion));
        cmdNonExistent_[i]->setToolTip("Find references to non-existent objects");
        Place(cmdNonExistent_[i], smallLeft[i][0], 3420, 465, 285);
        cmdAnalyzeData_[i] = MakeButton(c, Indexed("cmdAnalyzeData", i), "");
        cmdAnalyzeData_[i]->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
        cmdAnalyzeData_[i]->setToolTip("Analyze Data in Table");
        Place(cmdAnalyzeData_[i], smallLeft[i][1], 3420, 465, 285);
        cmdFind_[i] = MakeButton(c, Indexed("cmdFind", i), "");
        cmdFind_[i]->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
        cmdFind_[i]->setToolTip("Find Object");
        Place(cmdFind_[i], smallLeft[i][2], 3420, 465, 285);

        txtTXProc_[i] = new QtTextView(c);
        txtTXProc_[i]->setObjectName(Indexed("txtTXProc", i));
        txtTXProc_[i]->setToolTip("Right click for options");
        Place(txtTXProc_[i], panelLeft[i], 3750, 5295, i == 0 ? 2475 : 2925);

        cmdCopyClip_[i] = MakeButton(c, Indexed("cmdCopyClip", i), copyClip[i]);
        Place(cmdCopyClip_[i], buttonLeft[i][0], 6915, 1905, 405);
        cmdCopyToFile_[i] = MakeButton(c, Indexed("cmdCopyToFile", i), copyFile[i]);
        Place(cmdCopyToFile_[i], buttonLeft[i][1], 6915, 1545, 405);
        cmdViewData_[i] = MakeButton(c, Indexed("cmdViewData", i), viewData[i]);
        Place(cmdViewData_[i], buttonLeft[i][2], 6915, 1545, 405);
    }

    linDivision_ = new QFrame(c);
    linDivision_->setObjectName("linDivision");
    linDivision_->setFrameShape(QFrame::VLine);
    linDivision_->setFrameShadow(QFrame::Sunken);
    linDivision_->setGeometry(Px(5850) - 1, Px(linTop_), 3, Px(linBottom_ - linTop_));
    imgSplitter_ = new PanelSplitter(c);
    imgSplitter_->setObjectName("imgSplitter");
    Place(imgSplitter_, 5775, 750, 150, 6255);

    // The secondary toolbar with the type option buttons is kept hidden at all times.
    picSecToolbar_ = new QFrame(c);
    picSecToolbar_->setObjectName("picSecToolbar");
    Place(picSecToolbar_, 0, 2520, 11820, 405);
    const char* optCaptions[7] = {"Tables",   "Procedures",    "Functions", "Views",
                                  "Triggers", "Relationships", "Indexes"};
    const int optLeft[7] = {270, 1620, 2880, 4080, 5700, 7050, 8190};
    for (int k = 0; k < 7; ++k) {
        auto* b = new QPushButton(optCaptions[k], picSecToolbar_);
        b->setObjectName(Indexed("optType", k));
        b->setCheckable(true);
        Place(b, optLeft[k], 75, 1905, 255);
        connect(b, &QPushButton::clicked, this, [this, k] { ObjectTypeChanged(20, k, 3); });
    }
    picSecToolbar_->setVisible(Settings().ShowSecondaryToolbar);

    // These two have no action; they stay out of sight below the panel area.
    cmdGetAllOwners_ = MakeButton(c, "cmdGetAllOwners", "Get All Owners");
    cmdGetOwner_ = MakeButton(c, "cmdGetOwner", "Get Owner");
    Place(cmdGetAllOwners_, 180, 7170, 1545, 405);
    Place(cmdGetOwner_, 1800, 7170, 1545, 405);
    cmdGetAllOwners_->hide();
    cmdGetOwner_->hide();

    FitLabels();
    BuildGeometry(QSize(Px(kDesignWidth), Px(kDesignHeight)));
}

void frmMain::FitLabels() {
    // Captions are never clipped: a label whose font needs more room than its design width
    // grows to the right, where the design leaves space.
    for (QLabel* label : central_->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        if (label->sizeHint().width() > label->width())
            label->resize(label->sizeHint().width(), label->height());
}

void frmMain::SetButtonToolTips() {
    cmdConnect_->setToolTip("Connect to the server (F5)");
    const char* copyClipKeys[2] = {" (Alt + O)", " (Alt + Y)"};
    const char* copyFileKeys[2] = {" (Alt + P)", " (Alt + I)"};
    const char* viewKeys[2] = {" (Alt + V)", " (Alt + W)"};
    for (int i = 0; i < 2; ++i) {
        cmdCopyClip_[i]->setToolTip(QString("Copy selected object structure to the clipboard") +
                                    copyClipKeys[i]);
        cmdCopyToFile_[i]->setToolTip(QString("Copy selected object structure to the file") +
                                      copyFileKeys[i]);
        cmdViewData_[i]->setToolTip(QString("View data stored in selected table") + viewKeys[i]);
    }
}

void frmMain::ApplyOwnerPlacement() {
    const ArrangeScope arranging(geometry_);
    const bool on = Settings().ShowOwners;
    for (int i = 0; i < 2; ++i) {
        cmbOwners_[i]->setVisible(on);
        lblGen_[i]->setVisible(on);
        SetTop(cmdDbInfo_[i], on ? 1770 : 1590);
        SetTop(lblDbInfo_[i], on ? 1890 : 1710);
        SetWidth(cmbServer_[i], on ? 2775 : 2295);
    }
}

void frmMain::ApplyVerticalArrangement() {
    const ArrangeScope arranging(geometry_);
    const bool on = Settings().ShowOwners;
    const int o = on ? 180 : 0;
    for (int i = 0; i < 2; ++i) {
        SetWidth(cmbServer_[i], on ? 2775 : 2295);
        SetTop(cmbServer_[i], 1020);
        SetTop(pvlDb_[i], 1020);
        SetTop(cmbOwners_[i], 1440);
        SetTop(lblGen_[i], 1500);
        SetTop(cmdDbInfo_[i], 1590 + o);
        SetTop(lblDbInfo_[i], 1710 + o);
        SetTop(pvlSqlObj_[i], 2310);
        SetTop(txtTXProc_[i], 3750);
        SetHeight(txtTXProc_[i], 2925);
    }
    for (int k = 2; k <= 5; ++k)
        SetTop(lblGen_[k], 750);
    imgSplitter_->setGeometry(imgSplitter_->x(), Px(2310), imgSplitter_->width(), Px(6255));
    linTop_ = 750;
    linDivision_->setGeometry(linDivision_->x(), Px(linTop_), linDivision_->width(),
                              Px(linBottom_ - linTop_));
}

void frmMain::ApplyCompactArrangement() {
    const ArrangeScope arranging(geometry_);
    for (int i = 0; i < 2; ++i) {
        SetWidth(cmbServer_[i], 2115);
        SetWidth(pvlSqlObj_[i], 4395);
        SetWidth(txtTXProc_[i], 4395);
        SetHeight(txtTXProc_[i], 1425);
    }
    linDivision_->move(Px(4800) - 1, linDivision_->y());
    // The grip stays on the divider.
    imgSplitter_->move(linDivision_->geometry().center().x() - imgSplitter_->width() / 2,
                       imgSplitter_->y());
    for (QWidget* w : {static_cast<QWidget*>(lblGen_[5]), static_cast<QWidget*>(cmbServer_[1]),
                       static_cast<QWidget*>(lblGen_[1]), static_cast<QWidget*>(cmdDbInfo_[1])})
        SetLeft(w, 5040);
    SetLeft(cmbOwners_[1], 5610);
    SetLeft(lblDbInfo_[1], 5610);
    SetLeft(pvlDb_[0], 2400);
    SetLeft(lblGen_[2], 2400);
    SetLeft(pvlDb_[1], 7225);
    SetLeft(lblGen_[3], 7225);
    SetWidth(pvlDb_[0], 2175);
    SetWidth(pvlDb_[1], 2175);
    for (int i = 0; i < 2; ++i) {
        SetTop(pvlSqlObj_[i], 2220);
        SetTop(txtTXProc_[i], 3495);
    }
    SetLeft(pvlSqlObj_[1], 5040);
    SetLeft(txtTXProc_[1], 5040);
    for (int i = 0; i < 2; ++i) {
        SetWidth(cmdCopyClip_[i], 1800);
        SetWidth(cmdCopyToFile_[i], 1390);
        SetWidth(cmdViewData_[i], 1200);
    }
    SetLeft(cmdCopyClip_[1], 5040);
    for (int i = 0; i < 2; ++i) {
        cmdCopyToFile_[i]->move(cmdCopyClip_[i]->x() + Px(1830), cmdCopyToFile_[i]->y());
        cmdViewData_[i]->move(cmdCopyToFile_[i]->x() + Px(1410), cmdViewData_[i]->y());
        SetTop(cmdCopyClip_[i], 5070);
        SetTop(cmdCopyToFile_[i], 5070);
        SetTop(cmdViewData_[i], 5070);
    }
    // The small picture buttons follow their object list.
    for (int i = 0; i < 2; ++i) {
        const int right = pvlSqlObj_[i]->x() + pvlSqlObj_[i]->width();
        cmdFind_[i]->move(right - cmdFind_[i]->width(),
                          pvlSqlObj_[i]->y() + pvlSqlObj_[i]->height() + 1);
        cmdAnalyzeData_[i]->move(cmdFind_[i]->x() - cmdAnalyzeData_[i]->width() - 3,
                                 cmdFind_[i]->y());
        cmdNonExistent_[i]->move(cmdAnalyzeData_[i]->x() - cmdNonExistent_[i]->width() - 3,
                                 cmdFind_[i]->y());
    }
    // The toolbar strips span the window, whatever its width.
    SetWidth(picToolbar_, kCompactWidth);
    SetWidth(picSecToolbar_, kCompactWidth);
    // The window opens at the compact size, its menu and status bars included.
    SetDesignClientSize(QSize(Px(kCompactWidth), Px(kCompactHeight) - ChromeHeight()));
    FitLabels();
}

} // namespace orv
