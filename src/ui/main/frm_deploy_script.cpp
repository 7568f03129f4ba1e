#include "ui/main/frm_deploy_script.h"

#include "catalog/record_counts.h"
#include "export/export_file.h"
#include "ui/main/frm_report.h"
#include "ui/tools/frm_run_progress.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/qt_text_view.h"
#include "util/prompter.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QVBoxLayout>

#include <optional>

namespace orv {

namespace {

constexpr const char* kRunTitle = "Run on Target";

RunProgressLook DeployLook() {
    RunProgressLook look;
    look.ObjectName = "frmDeployProgress";
    look.Title = "Deploying";
    look.ItemName = "lblStep";
    look.StopTip = "Stop the deployment and roll back what it did (Esc)";
    look.Stopping = "Stopping - rolling back...";
    look.Width = 560;
    return look;
}

RunProgressLook CheckLook() {
    RunProgressLook look;
    look.ObjectName = "frmDeployCheck";
    look.Title = "Checking the Target";
    look.ItemName = "lblObject";
    look.StopTip = "Stop checking; nothing is run (Esc)";
    look.Stopping = "Stopping...";
    look.Width = 520;
    return look;
}

RunProgressLook VerifyLook() {
    RunProgressLook look;
    look.ObjectName = "frmDbCompareProgress";
    look.Title = "Comparing";
    look.ItemName = "lblObject";
    look.StopTip = "Stop comparing again (Esc)";
    look.Stopping = "Stopping - finishing the current object...";
    look.Width = 520;
    return look;
}

} // namespace

frmDeployScript::frmDeployScript(std::shared_ptr<const DeploySession> session,
                                 std::function<std::vector<DeployObject>()> included,
                                 bool columnOrderMatters, QWidget* parent)
    : QDialog(parent), session_(std::move(session)), included_(std::move(included)) {
    setObjectName("frmDeployScript");
    setWindowTitle(Q("Deployment Script - " + session_->Request().Database[0] + " to " +
                     session_->Request().Database[1]));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    resize(1000, 700);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        resize(std::min(width(), avail.width() - 40), std::min(height(), avail.height() - 40));
        move(avail.center() - rect().center());
    }
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 8, 8, 8);
    lblSteps_ = new QLabel(this);
    lblSteps_->setObjectName("lblSteps");
    lblSteps_->setWordWrap(true);
    root->addWidget(lblSteps_);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->setChildrenCollapsible(false);
    txtScript_ = new QPlainTextEdit(split);
    txtScript_->setObjectName("txtScript");
    txtScript_->setReadOnly(true);
    txtScript_->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtScript_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* warnings = new QWidget(split);
    auto* warningsLayout = new QVBoxLayout(warnings);
    warningsLayout->setContentsMargins(0, 0, 0, 0);
    lblWarnings_ = new QLabel("Warnings:", warnings);
    lblWarnings_->setObjectName("lblWarnings");
    lstWarnings_ = new QListWidget(warnings);
    lstWarnings_->setObjectName("lstWarnings");
    lstWarnings_->setWordWrap(true);
    warningsLayout->addWidget(lblWarnings_);
    warningsLayout->addWidget(lstWarnings_, 1);
    split->addWidget(txtScript_);
    split->addWidget(warnings);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    root->addWidget(split, 1);

    auto* options = new QHBoxLayout;
    chkAllowDataLoss_ = new QCheckBox("Allow data &loss", this);
    chkAllowDataLoss_->setObjectName("chkAllowDataLoss");
    chkAllowDataLoss_->setToolTip("Include the steps that lose data (dropping a column or a table "
                                  "that holds rows, a shorter type or length, NOT NULL on a "
                                  "column holding NULLs); without it they are left out, "
                                  "commented");
    chkRebuildColumnOrder_ = new QCheckBox("Rebuild tables for column &order", this);
    chkRebuildColumnOrder_->setObjectName("chkRebuildColumnOrder");
    chkRebuildColumnOrder_->setToolTip(
        columnOrderMatters
            ? "Make a table whose columns stand in another order anew, its rows copied"
            : "Open only when the comparison counts column order (Options: Ignore columns "
              "order off)");
    chkRebuildColumnOrder_->setEnabled(columnOrderMatters);
    options->addWidget(chkAllowDataLoss_);
    options->addSpacing(16);
    options->addWidget(chkRebuildColumnOrder_);
    options->addStretch(1);
    root->addLayout(options);

    txtPrint_ = new QtTextView(this);
    txtPrint_->setObjectName("txtPrint");
    txtPrint_->hide();

    auto* buttons = new QHBoxLayout;
    auto button = [this](const char* name, const char* text, const char* tip) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setToolTip(tip);
        b->setAutoDefault(false);
        return b;
    };
    cmdRunOnTarget_ = button("cmdRunOnTarget", "&Run on Target",
                             "Run the script on the Target database, then compare again");
    cmdSave_ = button("cmdSave", "&Save To File", "Save the script to a .sql file");
    cmdCopy_ = button("cmdCopyClip", "Copy To &Clipboard", "Copy the script to the clipboard");
    cmdPrint_ = button("cmdPrint", "&Print", "Print the script on the default printer");
    cmdExit_ = button("cmdExit", "&Close", "Close the script (Esc)");
    buttons->addWidget(cmdRunOnTarget_);
    buttons->addStretch(1);
    for (QPushButton* b : {cmdSave_, cmdCopy_, cmdPrint_, cmdExit_})
        buttons->addWidget(b);
    root->addLayout(buttons);

    connect(chkAllowDataLoss_, &QCheckBox::toggled, this, [this] { Regenerate(); });
    connect(chkRebuildColumnOrder_, &QCheckBox::toggled, this, [this] { Regenerate(); });
    connect(cmdRunOnTarget_, &QPushButton::clicked, this, [this] { RunOnTarget(); });
    connect(cmdSave_, &QPushButton::clicked, this, [this] { SaveToFile(); });
    connect(cmdCopy_, &QPushButton::clicked, this, &frmDeployScript::CopyToClipboard);
    connect(cmdPrint_, &QPushButton::clicked, this, &frmDeployScript::PrintNow);
    connect(cmdExit_, &QPushButton::clicked, this, &QDialog::accept);
    Regenerate();
}

frmDeployScript::~frmDeployScript() = default;

void frmDeployScript::Regenerate() {
    DeployOptions options;
    options.AllowDataLoss = chkAllowDataLoss_->isChecked();
    options.ColumnOrderMatters = chkRebuildColumnOrder_->isEnabled();
    options.RebuildForColumnOrder = chkRebuildColumnOrder_->isChecked();
    if (renames_)
        options.ColumnRenames = renames_();
    scriptObjects_ = included_();
    script_ = session_->Script(scriptObjects_, options, clock());
    QString shown = Q(script_.Text);
    shown.replace("\r\n", "\n");
    txtScript_->setPlainText(shown);
    lstWarnings_->clear();
    for (const std::string& w : script_.Warnings)
        lstWarnings_->addItem(Q(w));
    lblWarnings_->setText(QString("Warnings (%1):").arg(script_.Warnings.size()));
    std::string steps;
    if (script_.StepCount == 0)
        steps = script_.LeftOutSteps ? "Nothing can be deployed without allowing data loss."
                                     : "Nothing to deploy: tick the objects to include in the "
                                       "results window.";
    else
        steps = FormatThousands(script_.StepCount) + (script_.StepCount == 1 ? " step" : " steps") +
                " for " + FormatThousands(static_cast<int64_t>(scriptObjects_.size())) +
                (scriptObjects_.size() == 1 ? " object" : " objects") + ", in one transaction" +
                (script_.LeftOutSteps ? "; " + FormatThousands(script_.LeftOutSteps) +
                                            " left out (see the warnings)."
                                      : ".");
    lblSteps_->setText(Q(steps));
    cmdRunOnTarget_->setEnabled(script_.StepCount > 0);
}

void frmDeployScript::SetColumnRenames(std::function<std::vector<ColumnRename>()> renames) {
    renames_ = std::move(renames);
    Regenerate();
}

bool frmDeployScript::SaveToFile() {
    FileDialogRequest request;
    request.save = true;
    request.title = "Save Deployment Script";
    request.filter = "SQL scripts (*.sql)|*.sql|All files (*.*)|*.*";
    request.proposedPath =
        FileNameSafe("deploy " + session_->Request().Database[1], "deploy") + ".sql";
    request.flags = 2054; // overwrite prompt, no read-only box, the path must exist
    const std::optional<std::string> path = CurrentPrompter().FileDialog(request);
    if (!path)
        return false;
    std::string error;
    if (!WriteExportFile(*path, script_.Text, error)) {
        CurrentPrompter().MessageBox(MsgIcon::Error, "Cannot Save", error);
        return false;
    }
    return true;
}

void frmDeployScript::CopyToClipboard() {
    CurrentPrompter().SetClipboardText(script_.Text);
}

void frmDeployScript::PrintNow() {
    txtPrint_->SetText(script_.Text);
    PrintViewOrOfferPdf(*txtPrint_);
}

bool frmDeployScript::RunOnTarget() {
    if (script_.StepCount == 0)
        return false;
    const DbCompareRequest& request = session_->Request();
    const std::string question =
        "Run the deployment script on " + request.Database[1] + " on " + request.Server[1].Name +
        "?\r\n\r\n" + FormatThousands(script_.StepCount) +
        (script_.StepCount == 1 ? " step changes" : " steps change") +
        " the structure of that database in one transaction; the first error rolls it all "
        "back." +
        (script_.Warnings.empty()
             ? std::string()
             : "\r\n\r\nRead the " +
                   FormatThousands(static_cast<int64_t>(script_.Warnings.size())) +
                   (script_.Warnings.size() == 1 ? " warning" : " warnings") + " first.");
    if (CurrentPrompter().MessageBox(MsgIcon::Question, kRunTitle, question,
                                     MsgButtons::YesNoDefaultNo) != MsgAnswer::Yes)
        return false;

    const DeployScript script = script_;
    const std::vector<DeployObject> included = scriptObjects_;
    if (!TargetStillAsCompared(included))
        return false;
    const QueryPlace target{request.Server[1], request.Database[1], 0};
    {
        frmRunProgress progress(DeployLook(), this);
        lastRun_ = DeployRunResult();
        progress.Run(request.Database[1], [&](ProgressSink& sink, const CancelToken& cancel) {
            lastRun_ = RunDeployScript(target, script, sink, cancel);
        });
    }
    if (lastRun_.Outcome != RunOutcome::Completed) {
        CurrentPrompter().MessageBox(
            lastRun_.Outcome == RunOutcome::Cancelled ? MsgIcon::Information : MsgIcon::Error,
            "Deployment Not Done", DeployFailureText(lastRun_));
        return false;
    }
    DeployVerification verification;
    std::string error;
    bool verified = false;
    {
        frmRunProgress progress(VerifyLook(), this);
        progress.Run("Comparing again", [&](ProgressSink& sink, const CancelToken& cancel) {
            verified = VerifyDeployment(request, included, sink, cancel, verification, error);
        });
    }
    if (!verified) {
        CurrentPrompter().MessageBox(MsgIcon::Warning, kRunTitle,
                                     "The deployment script ran, but comparing again did not "
                                     "complete: " +
                                         error);
        return false;
    }
    const std::string text = VerificationText(verification);
    if (onVerified)
        onVerified(verification, text);
    else
        CurrentPrompter().MessageBox(MsgIcon::Information, kRunTitle, text);
    return true;
}

bool frmDeployScript::TargetStillAsCompared(const std::vector<DeployObject>& included) {
    const std::string& database = session_->Request().Database[1];
    lastCheck_ = TargetCheck();
    bool stopped = false;
    {
        frmRunProgress progress(CheckLook(), this);
        progress.Run(database, [&](ProgressSink& sink, const CancelToken& cancel) {
            lastCheck_ = session_->CheckTarget(included, sink, cancel);
        });
        stopped = progress.StopRequested();
    }
    // Stop is the user's choice: nothing ran, nothing to tell.
    if (stopped || lastCheck_.Outcome == RunOutcome::Cancelled)
        return false;
    if (lastCheck_.Outcome == RunOutcome::Failed) {
        CurrentPrompter().MessageBox(MsgIcon::Error, "Deployment Not Done",
                                     "The Target could not be checked for changes since the "
                                     "comparison: " +
                                         lastCheck_.Problem + ".\r\n\r\nNothing was changed.");
        return false;
    }
    if (lastCheck_.Changes.empty())
        return true;
    const std::string text = "The Target " + database +
                             " has changed since the comparison, so the script was not run and "
                             "nothing was changed:" +
                             TargetChangeList(lastCheck_, "\r\n") +
                             "\r\n\r\nCompare the databases again now?";
    if (CurrentPrompter().MessageBox(MsgIcon::Warning, "Target Changed", text, MsgButtons::YesNo) ==
            MsgAnswer::Yes &&
        onCompareAgain)
        onCompareAgain();
    return false;
}

} // namespace orv
