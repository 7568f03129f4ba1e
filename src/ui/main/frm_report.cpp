#include "ui/main/frm_report.h"

#include "compare/compare_sel_procs.h"
#include "compare/tx_text.h"
#include "core/copy_to_file.h"
#include "core/error_report.h"
#include "core/help_topic.h"
#include "core/paths.h"
#include "ui/main/frm_report_placement.h"
#include "ui/main/frm_save_comparison.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/qt_text_view.h"
#include "util/prompter.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

#include <exception>
#include <optional>

namespace orv {

namespace {
// The design layout, in pixels (15 twips each).
constexpr int kMargin = 8;
constexpr int kTextWidth = 704;
constexpr int kTextHeight = 420;
constexpr int kButtonHeight = 28;
constexpr int kButtonGap = 6;

// The classic "Printer error" number, for a printer that refuses the job.
constexpr int32_t kErrPrinter = 482;
constexpr const char* kCannotPrintTitle = "Cannot Print";

QPushButton* MakeButton(const char* name, const char* text, const char* tip, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

int ButtonWidth(QPushButton* b) {
    return std::max(96, b->sizeHint().width() + 12);
}
} // namespace

frmReport::frmReport(QWidget* parent) : QDialog(parent) {
    setObjectName("frmReport");
    setModal(true);

    txtReport_ = new QtTextView(this);
    txtReport_->setObjectName("txtReport");
    InitializeTXTextControl(*txtReport_);
    // The report is for reading, whatever the debug mode says about editing object texts.
    txtReport_->SetEditMode(1);

    cmdCopyClip_ =
        MakeButton("cmdCopyClip", "Copy To &Clipboard", "Copy report to clipboard", this);
    cmdCopyToFile_ = MakeButton("cmdCopyToFile", "Export To &File", "Copy report to file", this);
    cmdPrint_ = MakeButton("cmdPrint", "&Print", "Print report on the default printer", this);
    cmdSave_ = MakeButton("cmdSave", "&Save Comparison",
                          "Save comparison's process parameters so it can be re-run later "
                          "(Alt + S)",
                          this);
    cmdExit_ = MakeButton("cmdExit", "E&xit", "Close report (Esc)", this);

    // Four working buttons from the left, Exit under the right edge of the text.
    const int top = kMargin + kTextHeight + kMargin;
    txtReport_->setGeometry(kMargin, kMargin, kTextWidth, kTextHeight);
    int left = kMargin;
    for (QPushButton* b : {cmdCopyClip_, cmdCopyToFile_, cmdPrint_, cmdSave_}) {
        const int w = ButtonWidth(b);
        b->setGeometry(left, top, w, kButtonHeight);
        buttons_.push_back({b, left});
        left += w + kButtonGap;
    }
    const int exitWidth = ButtonWidth(cmdExit_);
    const int exitLeft = kMargin + kTextWidth - exitWidth;
    cmdExit_->setGeometry(exitLeft, top, exitWidth, kButtonHeight);
    buttons_.push_back({cmdExit_, exitLeft});
    resize(kMargin + kTextWidth + kMargin, top + kButtonHeight + kMargin);

    connect(cmdCopyClip_, &QPushButton::clicked, this, &frmReport::CopyToClipboard);
    connect(cmdCopyToFile_, &QPushButton::clicked, this, &frmReport::ExportToFile);
    connect(cmdPrint_, &QPushButton::clicked, this, &frmReport::PrintNow);
    connect(cmdExit_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSave_, &QPushButton::clicked, this, &frmReport::SaveComparison);
    // Only a comparison has something to save; other reports leave the button greyed.
    cmdSave_->setEnabled(false);
}

// The program writes no "*.tmp" files of its own (its atomic replacements rename their
// temporary files away), so closing the report has none to clear up; files in the temporary
// folder that other programs made are left alone.
frmReport::~frmReport() = default;

void frmReport::Describe(const std::string& pstrFormCaption,
                         const ComparisonDescription& description) {
    mstrFormCaption = pstrFormCaption;
    setWindowTitle(Q(mstrFormCaption));
    description_ = description;
    hasDescription_ = true;
    cmdSave_->setEnabled(saveRefusal_.empty());
    for (int i = 0; i < 2; ++i)
        if (description_.CheckCount[i] <= 0)
            description_.CheckedObjects[i].clear();
}

void frmReport::ShowUp(const std::string& pstrFormCaption, const std::string& pstrServerName1,
                       const std::string& pstrServerName2, const std::string& pstrDbName1,
                       const std::string& pstrDbName2, const std::string& pstrTableName1,
                       const std::string& pstrTableName2, int32_t penmCompType,
                       int32_t penumCompSubType, int32_t penumCompSubSubType,
                       const std::string& pstrEncObjTypes, int32_t penmCompMethod,
                       bool pblnPlayingSavedComp, const std::string& pstrSavedFullExportFilePath,
                       int32_t plngCheckCount1, int32_t plngCheckCount2,
                       const std::vector<std::string>& pstrListCheckedObjects1,
                       const std::vector<std::string>& pstrListCheckedObjects2, bool pblnPrint,
                       int32_t plngTableId1, int32_t plngTableId2) {
    ComparisonDescription d;
    d.ServerName[0] = pstrServerName1;
    d.ServerName[1] = pstrServerName2;
    d.DbName[0] = pstrDbName1;
    d.DbName[1] = pstrDbName2;
    d.TableName[0] = pstrTableName1;
    d.TableName[1] = pstrTableName2;
    d.CompType = penmCompType;
    d.CompSubType = penumCompSubType;
    d.CompSubSubType = penumCompSubSubType;
    d.EncObjTypes = pstrEncObjTypes;
    d.CompMethod = penmCompMethod;
    d.PlayingSavedComp = pblnPlayingSavedComp;
    d.SavedFullExportFilePath = pstrSavedFullExportFilePath;
    d.CheckCount[0] = plngCheckCount1;
    d.CheckCount[1] = plngCheckCount2;
    d.CheckedObjects[0] = pstrListCheckedObjects1;
    d.CheckedObjects[1] = pstrListCheckedObjects2;
    d.Print = pblnPrint;
    d.TableId[0] = std::to_string(plngTableId1);
    d.TableId[1] = std::to_string(plngTableId2);
    Describe(pstrFormCaption, d);
    exec();
}

void frmReport::ShowUp_Generic(const std::string& pstrFormCaption) {
    mstrFormCaption = pstrFormCaption;
    setWindowTitle(Q(mstrFormCaption));
    cmdSave_->hide();
    exec();
}

void frmReport::Load() {
    if (loaded_)
        return;
    loaded_ = true;
    setWindowTitle(Q(mstrFormCaption));
    PlaceReportWindow(this);
    baseSize_ = size();
    baseTextSize_ = txtReport_->size();
    baseButtonTop_ = cmdExit_->y();
    txtReport_->SetText(gstrReportText);
}

void frmReport::showEvent(QShowEvent* event) {
    Load();
    QDialog::showEvent(event);
    activated_ = true;
}

void frmReport::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    ApplyResize(size(), windowState());
}

void frmReport::PlaceControls(int dx, int dy) {
    txtReport_->resize(baseTextSize_.width() + dx, baseTextSize_.height() + dy);
    for (const ButtonPlace& p : buttons_)
        p.button->move(p.left + dx, baseButtonTop_ + dy);
}

void frmReport::ApplyResize(const QSize& size, Qt::WindowStates state) {
    if (!activated_ || tag_ == "OFF" || (state & Qt::WindowMinimized))
        return;
    const bool normal = !(state & (Qt::WindowMaximized | Qt::WindowFullScreen));
    const bool wasMaximized = (lastState_ & Qt::WindowMaximized) != 0;
    if (normal && wasMaximized &&
        (size.width() < baseSize_.width() || size.height() < baseSize_.height())) {
        // Coming back from maximized into a size below the design: snap back to the design.
        tag_ = "OFF";
        resize(baseSize_);
        PlaceControls(0, 0);
        lastState_ = state;
        tag_.clear();
        return;
    }
    const int dx = size.width() - baseSize_.width();
    const int dy = size.height() - baseSize_.height();
    if (dx >= 0) {
        txtReport_->resize(baseTextSize_.width() + dx, txtReport_->height());
        for (const ButtonPlace& p : buttons_)
            p.button->move(p.left + dx, p.button->y());
    }
    if (dy >= 0) {
        txtReport_->resize(txtReport_->width(), baseTextSize_.height() + dy);
        for (const ButtonPlace& p : buttons_)
            p.button->move(p.button->x(), baseButtonTop_ + dy);
    }
    lastState_ = state;
}

void frmReport::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        accept();
        return;
    }
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        event->accept();
        OpenHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmReport::OpenHelp() {
    if (HelpContextID != 0)
        ShowHelpTopic(HelpContextID);
}

void frmReport::CopyToClipboard() {
    TXText_CopyToClipboard(*txtReport_);
}

void frmReport::ExportToFile() {
    if (busy_)
        return;
    busy_ = true;
    CompLines lines;
    int32_t errorCode = 0;
    const int64_t count = TXText_ConvTextToArray(*txtReport_, lines, errorCode);
    if (errorCode == 0 && count > 0) {
        const std::string text = TXText_ConvArrayToText(lines, count, errorCode);
        std::string savedPath;
        if (errorCode == 0)
            CopyToFile(text, "Report", savedPath);
    }
    busy_ = false;
}

void frmReport::PrintNow() {
    if (busy_)
        return;
    busy_ = true;
    PrintViewOrOfferPdf(*txtReport_);
    busy_ = false;
}

bool PrintViewOrOfferPdf(QtTextView& view) {
    if (CurrentPrompter().HasPrinter())
        return frmReport::PrintReport(view);
    if (CurrentPrompter().MessageBox(MsgIcon::Question, kCannotPrintTitle,
                                     "Cannot print - there is no printer.\r\n\r\nDo you want to "
                                     "save the report as a PDF file instead?",
                                     MsgButtons::YesNo) != MsgAnswer::Yes)
        return false;
    FileDialogRequest request;
    request.save = true;
    request.title = "Specify Target File";
    request.filter = "PDF files (*.pdf)|*.pdf";
    request.proposedPath = "Report.pdf"; // in the documents folder or the folder last used
    request.flags = 2054;                // overwrite prompt, no read-only box, the path must exist
    const std::optional<std::string> path = CurrentPrompter().FileDialog(request);
    if (!path)
        return false;
    // The user agreed to replace the file; whatever is there afterwards is this report.
    const QString file = Q(*path);
    QFile::remove(file);
    const QString saved = view.PrintOutputFile();
    view.SetPrintOutputFile(file);
    const bool printed = view.Print("Orvane Report", 1, std::max(1, view.PageCount()), 1);
    view.SetPrintOutputFile(saved);
    if (printed && QFileInfo(file).size() > 0)
        return true;
    CurrentPrompter().MessageBox(MsgIcon::Error, kCannotPrintTitle,
                                 "Cannot save the report - the file " + *path +
                                     " could not be written.");
    return false;
}

void frmReport::SaveComparison() {
    if (hasDescription_ && saveRefusal_.empty())
        SaveComparisonAndTell(description_, this);
}

void frmReport::RefuseSave(const std::string& reason) {
    saveRefusal_ = reason;
    cmdSave_->setEnabled(false);
    cmdSave_->setToolTip(Q(reason));
}

void SaveComparisonAndTell(const ComparisonDescription& description, QWidget* owner) {
    ComparisonDescription named = description;
    if (!AskSaveSettings(owner, named))
        return;
    const std::string& path = Paths().CompsIni;
    const int32_t number = SaveComparisonProcess(path, named);
    if (number > 0)
        CurrentPrompter().MessageBox(MsgIcon::Information, "Save Comparison",
                                     "The comparison process was saved as number " +
                                         std::to_string(number) + ".");
    else
        CurrentPrompter().MessageBox(MsgIcon::Error, "Save Comparison",
                                     "The comparison process could not be saved in " + path + ".");
}

bool frmReport::PrintReport(TextView& view) {
    try {
        const int pages = view.PageCount();
        if (view.Print("Orvane Report", 1, std::max(1, pages), 1))
            return true;
        ReportUnexpected(kErrPrinter, "Printer error", "frmReport", "PrintReport");
    } catch (const std::exception& e) {
        ReportUnexpected(kErrPrinter, e.what(), "frmReport", "PrintReport");
    }
    return false;
}

ComparisonDescription DescribeComparison(const ComparisonReportRequest& r) {
    ComparisonDescription d;
    for (int i = 0; i < 2; ++i) {
        d.ServerName[i] = r.ServerName[i];
        d.DbName[i] = r.DbName[i];
        d.TableName[i] = r.ObjectName[i];
        d.CheckCount[i] = r.CheckCount[i];
        d.TableId[i] = std::to_string(r.TableId[i]);
    }
    d.CompType = r.CompType;
    d.CompSubType = r.CompSubType;
    d.CompSubSubType = r.CompSubSubType;
    d.EncObjTypes = r.EncObjTypes;
    d.CompMethod = r.CompMethod;
    d.PlayingSavedComp = r.PlayingSavedComp;
    d.SavedFullExportFilePath = r.SavedExportFilePath;
    d.Print = r.Print;
    return d;
}

void ShowComparisonReportWindow(const ComparisonReportRequest& request, QWidget* parent) {
    frmReport window(parent);
    window.HelpContextID = request.HelpContext;
    if (!request.SaveRefusal.empty())
        window.RefuseSave(request.SaveRefusal);
    window.Describe(request.Caption, DescribeComparison(request));
    window.exec();
}

} // namespace orv
