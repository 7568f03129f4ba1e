// Loading the controls from the settings, checking the two numbers, and writing every setting.
#include "core/error_report.h"
#include "core/registry.h"
#include "core/settings.h"
#include "ui/settings/frm_options.h"
#include "ui/settings/numeric_box.h"
#include "util/prompter.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include <exception>

namespace orv {
namespace {

constexpr const char* kAppTitle = "Orvane";
constexpr int32_t kErrUnexpected = 5;
constexpr int32_t kMinRows = 10;
constexpr int32_t kMinCacheSize = 1;

bool On(const QCheckBox* box) {
    return box->checkState() != Qt::Unchecked;
}

void Write(const char* key, const char* name, int32_t value) {
    SetRegDword(HKEY_CURRENT_USER, key, name, value);
}

void Write(const char* key, const char* name, bool value) {
    SetRegDword(HKEY_CURRENT_USER, key, name, value ? 1 : 0);
}

int32_t NumberIn(const QLineEdit* box) {
    return LeadingNumber(box->text().toStdString());
}

} // namespace

void frmOptions::LoadValues() {
    const ProgramSettings& s = Settings();
    txtMaxRows_->setText(QString::number(s.MaxRowsInDiffTable));
    txtCacheSize_->setText(QString::number(s.CacheSize));

    // These are read from the registry: they have no program-wide copy, or the dialog shows
    // what is stored rather than what this run started with.
    chkAutoConnect_->setChecked(AutoConnect());
    chkShowOwners_->setChecked(ShowOwners());
    chkDataComp_->setChecked(ShowDataCompOpt());
    chkPrompt_->setChecked(PromptToSave());
    chkPreserveDbSel_->setChecked(PreserveDbSel());
    const bool serverSide = CursorConnectionUseServer();
    optCurLoc_[1]->setChecked(serverSide);
    optCurLoc_[0]->setChecked(!serverSide);

    chkCaseSensitive_->setChecked(s.CaseSensitive);
    chkIgnoreWhitespaces_->setChecked(s.IgnoreWhitespace);
    chkIgnoreComments_->setChecked(s.IgnoreComments);
    chkIgnoreIndexes_->setChecked(s.IgnoreIndexes);
    chkIgnoreSysObjects_->setChecked(s.IgnoreSysObjects);
    chkIgnoreColSeq_->setChecked(s.IgnoreColSeq);
    chkAutoSelTargetObj_->setChecked(s.AutoSelTargetObj);
    chkAnalyzeConstraints_->setChecked(s.AnalyzeConstraints);
}

bool frmOptions::ValidateData() {
    try {
        if (NumberIn(txtMaxRows_) < kMinRows) {
            CurrentPrompter().MessageBox(
                MsgIcon::Warning, kAppTitle,
                "Maximum number of rows displayed in differences table cannot be smaller than "
                "10.\r\n\r\nProgram will reset this value to 10.");
            txtMaxRows_->setText(QString::number(kMinRows));
        }
        if (NumberIn(txtCacheSize_) < kMinCacheSize) {
            CurrentPrompter().MessageBox(MsgIcon::Warning, kAppTitle,
                                         "Cache Size cannot be smaller than 1.\r\n\r\nProgram "
                                         "will reset this value to 1.");
            txtCacheSize_->setText(QString::number(kMinCacheSize));
        }
        return true;
    } catch (const std::exception& e) {
        ReportUnexpected(kErrUnexpected, e.what(), "frmOptions", "ValidateData");
        return false;
    }
}

void frmOptions::SaveOptions() {
    ProgramSettings& s = Settings();
    Write(kKeyServers, "AutoConnect", On(chkAutoConnect_));

    s.ShowOwners = On(chkShowOwners_);
    Write(kKeyServers, "ShowOwners", s.ShowOwners);

    s.MaxRowsInDiffTable = NumberIn(txtMaxRows_);
    Write(kKeyMav, "MaxRowsInDiffTable", s.MaxRowsInDiffTable);

    s.CaseSensitive = On(chkCaseSensitive_);
    Write(kKeyComparisons, "CaseSensitive", s.CaseSensitive);
    s.IgnoreWhitespace = On(chkIgnoreWhitespaces_);
    Write(kKeyComparisons, "IgnoreWhitespace", s.IgnoreWhitespace);
    s.IgnoreComments = On(chkIgnoreComments_);
    Write(kKeyComparisons, "IgnoreComments", s.IgnoreComments);
    s.IgnoreIndexes = On(chkIgnoreIndexes_);
    Write(kKeyComparisons, "IgnoreIndexes", s.IgnoreIndexes);

    const bool serverSide = optCurLoc_[1]->isChecked();
    Write(kKeyServers, "CursorConnectionUseServer", serverSide);
    s.CursorLocation = serverSide ? kCursorServerSide : kCursorClientSide;

    s.CacheSize = NumberIn(txtCacheSize_);
    Write(kKeyMav, "CacheSize", s.CacheSize);

    s.IgnoreSysObjects = On(chkIgnoreSysObjects_);
    Write(kKeyComparisons, "IgnoreSysObjects", s.IgnoreSysObjects);

    Write(kKeyComparisons, "ShowDataCompOpt", On(chkDataComp_));
    Write(kKeyComparisons, "PromptToSave", On(chkPrompt_));

    Write(kKeyMav, "PreserveDbSel", On(chkPreserveDbSel_));

    s.IgnoreColSeq = On(chkIgnoreColSeq_);
    Write(kKeyComparisons, "IgnoreColSeq", s.IgnoreColSeq);

    s.AutoSelTargetObj = On(chkAutoSelTargetObj_);
    Write(kKeyMav, "AutoSelTargetObj", s.AutoSelTargetObj);
    s.AnalyzeConstraints = On(chkAnalyzeConstraints_);
    Write(kKeyMav, "AnalyzeConstraints", s.AnalyzeConstraints);

    optionsSaved_ = true;
}

void frmOptions::OK() {
    if (!ValidateData())
        return;
    SaveOptions();
    accept();
}

void frmOptions::Apply() {
    if (ValidateData())
        SaveOptions();
}

} // namespace orv
