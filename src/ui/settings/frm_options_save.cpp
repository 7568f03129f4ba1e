// Loading the controls from the settings, checking the two numbers, and writing every setting.
#include "catalog/bulk_queries.h"
#include "core/error_report.h"
#include "core/registry.h"
#include "core/registry_document.h"
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

void Write(RegistryDocument& doc, const char* key, const char* name, int32_t value) {
    SetRegDword(doc, HKEY_CURRENT_USER, key, name, value);
}

void Write(RegistryDocument& doc, const char* key, const char* name, bool value) {
    SetRegDword(doc, HKEY_CURRENT_USER, key, name, value ? 1 : 0);
}

// The readings in the order of the page's buttons.
constexpr CompareReading kReadings[3] = {CompareReading::Auto, CompareReading::Full,
                                         CompareReading::HashFirst};
int ReadingIndex(CompareReading reading) {
    for (int i = 0; i < 3; ++i) {
        if (kReadings[i] == reading)
            return i;
    }
    return 0;
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
    chkCompleteTableScripts_->setChecked(s.CompleteTableScripts);
    chkIgnoreSystemNames_->setChecked(s.IgnoreSystemConstraintNames);
    chkIgnoreSystemNames_->setEnabled(s.CompleteTableScripts);
    chkSyncDisableTriggers_->setChecked(s.SyncDisableTriggers);
    chkClassicLineMatching_->setChecked(s.ClassicLineMatching);
    chkIgnoreSysObjects_->setChecked(s.IgnoreSysObjects);
    chkIgnoreColSeq_->setChecked(s.IgnoreColSeq);
    chkAutoSelTargetObj_->setChecked(s.AutoSelTargetObj);
    chkAnalyzeConstraints_->setChecked(s.AnalyzeConstraints);
    const CompareReading reading =
        ParseCompareReading(s.CompareReading).value_or(CompareReading::Auto);
    optReading_[ReadingIndex(reading)]->setChecked(true);
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
    const bool autoConnect = On(chkAutoConnect_);
    s.ShowOwners = On(chkShowOwners_);
    s.MaxRowsInDiffTable = NumberIn(txtMaxRows_);
    s.CaseSensitive = On(chkCaseSensitive_);
    s.IgnoreWhitespace = On(chkIgnoreWhitespaces_);
    s.IgnoreComments = On(chkIgnoreComments_);
    s.IgnoreIndexes = On(chkIgnoreIndexes_);
    s.CompleteTableScripts = On(chkCompleteTableScripts_);
    s.IgnoreSystemConstraintNames = On(chkIgnoreSystemNames_);
    s.SyncDisableTriggers = On(chkSyncDisableTriggers_);
    s.ClassicLineMatching = On(chkClassicLineMatching_);
    const bool serverSide = optCurLoc_[1]->isChecked();
    s.CursorLocation = serverSide ? kCursorServerSide : kCursorClientSide;
    s.CacheSize = NumberIn(txtCacheSize_);
    s.IgnoreSysObjects = On(chkIgnoreSysObjects_);
    const bool dataComp = On(chkDataComp_);
    const bool prompt = On(chkPrompt_);
    const bool preserveDbSel = On(chkPreserveDbSel_);
    s.IgnoreColSeq = On(chkIgnoreColSeq_);
    s.AutoSelTargetObj = On(chkAutoSelTargetObj_);
    s.AnalyzeConstraints = On(chkAnalyzeConstraints_);
    for (CompareReading r : kReadings) {
        if (optReading_[ReadingIndex(r)]->isChecked())
            s.CompareReading = CompareReadingWord(r);
    }

    // One replacement of the file for the whole set: another running copy saving its options at
    // the same moment then leaves either its set or ours, never half of each.
    ModifyRegistry([&](RegistryDocument& doc) {
        Write(doc, kKeyServers, "AutoConnect", autoConnect);
        Write(doc, kKeyServers, "ShowOwners", s.ShowOwners);
        Write(doc, kKeyMav, "MaxRowsInDiffTable", s.MaxRowsInDiffTable);
        Write(doc, kKeyComparisons, "CaseSensitive", s.CaseSensitive);
        Write(doc, kKeyComparisons, "IgnoreWhitespace", s.IgnoreWhitespace);
        Write(doc, kKeyComparisons, "IgnoreComments", s.IgnoreComments);
        Write(doc, kKeyComparisons, "IgnoreIndexes", s.IgnoreIndexes);
        Write(doc, kKeyComparisons, "CompleteTableScripts", s.CompleteTableScripts);
        Write(doc, kKeyComparisons, "IgnoreSystemConstraintNames", s.IgnoreSystemConstraintNames);
        Write(doc, kKeyComparisons, "SyncDisableTriggers", s.SyncDisableTriggers);
        Write(doc, kKeyComparisons, "ClassicLineMatching", s.ClassicLineMatching);
        Write(doc, kKeyServers, "CursorConnectionUseServer", serverSide);
        Write(doc, kKeyMav, "CacheSize", s.CacheSize);
        Write(doc, kKeyComparisons, "IgnoreSysObjects", s.IgnoreSysObjects);
        Write(doc, kKeyComparisons, "ShowDataCompOpt", dataComp);
        Write(doc, kKeyComparisons, "PromptToSave", prompt);
        Write(doc, kKeyMav, "PreserveDbSel", preserveDbSel);
        Write(doc, kKeyComparisons, "IgnoreColSeq", s.IgnoreColSeq);
        Write(doc, kKeyMav, "AutoSelTargetObj", s.AutoSelTargetObj);
        Write(doc, kKeyMav, "AnalyzeConstraints", s.AnalyzeConstraints);
        SetRegString(doc, HKEY_CURRENT_USER, kKeyComparisons, "CompareReading", s.CompareReading);
        return true;
    });

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
