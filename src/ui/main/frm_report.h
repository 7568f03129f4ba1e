// The modal report window: a block of plain text (a comparison verdict, a database inventory, a
// generated statement) that the user can copy, export to a file or print. The text arrives
// through gstrReportText, which the caller fills before opening the window.
#pragma once

#include "ui/main/frm_report_saved_comp.h"

#include <QDialog>

#include <cstdint>
#include <string>
#include <vector>

class QPushButton;

namespace orv {

class QtTextView;
class TextView;
struct ComparisonReportRequest;

class frmReport : public QDialog {
    Q_OBJECT
public:
    explicit frmReport(QWidget* parent = nullptr);
    ~frmReport() override;

    // The caption; callers that open the window themselves set it before showing.
    std::string mstrFormCaption;
    // The help topic F1 opens; 0 for none.
    int HelpContextID = 0;

    void ShowUp(const std::string& pstrFormCaption, const std::string& pstrServerName1,
                const std::string& pstrServerName2, const std::string& pstrDbName1,
                const std::string& pstrDbName2, const std::string& pstrTableName1,
                const std::string& pstrTableName2, int32_t penmCompType, int32_t penumCompSubType,
                int32_t penumCompSubSubType, const std::string& pstrEncObjTypes,
                int32_t penmCompMethod, bool pblnPlayingSavedComp,
                const std::string& pstrSavedFullExportFilePath, int32_t plngCheckCount1,
                int32_t plngCheckCount2, const std::vector<std::string>& pstrListCheckedObjects1,
                const std::vector<std::string>& pstrListCheckedObjects2, bool pblnPrint,
                int32_t plngTableId1, int32_t plngTableId2);
    // For reports that are not comparisons: there is nothing to save.
    void ShowUp_Generic(const std::string& pstrFormCaption);

    // Stores what ShowUp receives without opening the modal loop (ShowUp = this + exec()).
    void Describe(const std::string& pstrFormCaption, const ComparisonDescription& description);
    const ComparisonDescription& Description() const { return description_; }

    // Runs once, when the window is first shown: caption, centring, the design geometry that
    // resizing keeps to, and the report text.
    void Load();

    void CopyToClipboard();
    void ExportToFile();
    // Prints on the default printer; with none, offers to save the report as a PDF file.
    void PrintNow();
    // Stores the comparison this report describes as a numbered process in the comparisons
    // INI file and tells the user its number.
    void SaveComparison();
    // Greys Save Comparison with the reason as its tool tip: this comparison cannot be run
    // again as it was.
    void RefuseSave(const std::string& reason);
    // Prints the whole view on the default printer; failures go to the error reporter.
    static bool PrintReport(TextView& view);

    // The resize rule, given the new size and window state (pixels; 15 twips each).
    void ApplyResize(const QSize& size, Qt::WindowStates state);

    // Design geometry, recorded by Load.
    QSize BaselineSize() const { return baseSize_; }

    // Set while an export or print runs; a second request meanwhile is ignored.
    bool Busy() const { return busy_; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct ButtonPlace {
        QPushButton* button;
        int left;
    };
    void PlaceControls(int dx, int dy);
    void OpenHelp();

    QtTextView* txtReport_;
    QPushButton* cmdCopyClip_;
    QPushButton* cmdCopyToFile_;
    QPushButton* cmdPrint_;
    QPushButton* cmdSave_;
    QPushButton* cmdExit_;
    std::vector<ButtonPlace> buttons_;

    ComparisonDescription description_;
    bool hasDescription_ = false;
    std::string saveRefusal_;
    bool loaded_ = false;
    bool activated_ = false;
    bool busy_ = false;
    std::string tag_;
    Qt::WindowStates lastState_ = Qt::WindowNoState;
    QSize baseSize_;
    QSize baseTextSize_;
    int baseButtonTop_ = 0;
};

// Prints a report view on the default printer; with none, offers to save it as a PDF file.
// True when the report was printed or saved.
bool PrintViewOrOfferPdf(QtTextView& view);
// Stores a comparison as the next numbered process of the comparisons INI file and tells the
// user its number (or that it could not be saved). The user names the process and sets its
// export and print settings first; nothing is saved when they cancel.
void SaveComparisonAndTell(const ComparisonDescription& description, QWidget* owner = nullptr);

// What a comparison's report request says, as the report window keeps (and saves) it.
ComparisonDescription DescribeComparison(const ComparisonReportRequest& request);

// Opens a fresh report window for a finished comparison (the verdict already in
// gstrReportText) and returns when the user has closed it.
void ShowComparisonReportWindow(const ComparisonReportRequest& request, QWidget* parent = nullptr);

} // namespace orv
