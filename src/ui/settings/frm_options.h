// frmOptions, "Options": one page per setting in a strip of captioned pages, each page with
// its control and explanatory texts. OK and Apply check the two numbers, then write every
// setting to the registry and to its program-wide value; Cancel discards what was not applied.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace orv {

class frmOptions : public QDialog {
    Q_OBJECT
public:
    explicit frmOptions(QWidget* parent = nullptr);
    ~frmOptions() override;

    // Shows the dialog modally; pblnSaved tells whether the settings were saved at least once
    // (by OK or Apply) while it was open, even when it was then cancelled.
    void ShowUp(bool& pblnSaved);

    // Corrects numbers below their minimum (with a message); false only after an error.
    bool ValidateData();
    // Writes every control's value to the registry and the program-wide settings.
    void SaveOptions();

    void OK();
    void Apply();

    bool OptionsSaved() const { return optionsSaved_; }

    // The page strip: 16 pages, the last without a caption.
    int PageCount() const;
    std::string PageCaption(int page) const;
    std::string PageToolTip(int page) const;
    int CurrentPage() const;
    void SetCurrentPage(int page);
    // The explanatory labels of a page, top to bottom, as shown (line breaks as "\n").
    std::vector<std::string> PageTexts(int page) const;

private:
    void BuildPages();
    void LoadValues();
    void PageChanged(int page);
    QWidget* AddPage(const char* caption, const char* toolTip,
                     const std::vector<std::string>& texts, QWidget* control);
    // A further check box with its explanation under it, at the end of an existing page.
    QCheckBox* AddCheckBelow(int pageIndex, const char* name, const char* checkCaption,
                             const char* helpName, const char* help);
    QCheckBox* AddCheckPage(const char* name, const char* checkCaption, const char* caption,
                            const char* toolTip, const std::vector<std::string>& texts);

    QListWidget* tabs_;
    QStackedWidget* pages_;
    std::vector<std::vector<QLabel*>> pageLabels_;
    QCheckBox* chkAutoConnect_ = nullptr;
    QCheckBox* chkShowOwners_ = nullptr;
    QLineEdit* txtMaxRows_ = nullptr;
    QCheckBox* chkCaseSensitive_ = nullptr;
    QCheckBox* chkIgnoreWhitespaces_ = nullptr;
    QCheckBox* chkIgnoreComments_ = nullptr;
    QCheckBox* chkIgnoreIndexes_ = nullptr;
    QCheckBox* chkCompleteTableScripts_ = nullptr;
    QCheckBox* chkIgnoreSystemNames_ = nullptr;
    QCheckBox* chkSyncDisableTriggers_ = nullptr;
    QCheckBox* chkClassicLineMatching_ = nullptr;
    QRadioButton* optCurLoc_[2] = {};
    // Auto, Full, HashFirst: the CompareReading setting.
    QRadioButton* optReading_[3] = {};
    QLineEdit* txtCacheSize_ = nullptr;
    QCheckBox* chkIgnoreSysObjects_ = nullptr;
    QCheckBox* chkDataComp_ = nullptr;
    QCheckBox* chkPreserveDbSel_ = nullptr;
    QCheckBox* chkIgnoreColSeq_ = nullptr;
    QCheckBox* chkAutoSelTargetObj_ = nullptr;
    QCheckBox* chkAnalyzeConstraints_ = nullptr;
    QCheckBox* chkPrompt_ = nullptr;
    QPushButton* cmdOK_;
    QPushButton* cmdApply_;
    QPushButton* cmdCancel_;
    bool optionsSaved_ = false;
};

} // namespace orv
