// The references of a database's modules (or of one module) to objects that do not exist:
// module, line, the reference as written and the reason, one row each; references to another
// database or a linked server are listed after them as not checked. The catalog is read with
// progress and Stop (or taken from memory); a double-click shows the module in its panel at
// that line.
#pragma once

#include "explore/reference_check.h"
#include "servers/server_entry.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <string>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace orv {

class CatalogLoadJob;
class Gauge;

constexpr int kHelpTopicMissingReferences = 531;

class frmMissingReferences : public QDialog {
    Q_OBJECT
public:
    // `module` (schema-qualified or not) limits the check to that module; empty checks every
    // module of the database.
    frmMissingReferences(int panel, const ServerEntry& server, const std::string& database,
                         const std::string& module, std::shared_ptr<DbCatalogCache> cache,
                         QWidget* parent = nullptr);
    ~frmMissingReferences() override;

    // Reads the catalog when needed and runs the check.
    void Run();
    void Stop();
    bool Loading() const;
    const ReferenceFinding* FindingAt(int row) const;
    std::function<void(int panel, const ReferenceFinding& finding)> onFindingChosen;

    QTreeWidget* Results() const { return lvwResults_; }
    QLabel* SummaryLabel() const { return lblSummary_; }
    QPushButton* StopButton() const { return cmdStop_; }

signals:
    // The check has ended (completed, stopped or failed) and the window shows how.
    void checked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Loaded(const CatalogLoad& load);
    void ChooseRow(int row);

    int panel_;
    ServerEntry server_;
    std::string database_;
    std::string module_;
    CatalogLoadJob* job_;
    std::vector<ReferenceFinding> findings_;

    QLabel* lblSummary_;
    Gauge* prbProgress_;
    QTreeWidget* lvwResults_;
    QPushButton* cmdStop_;
    QPushButton* cmdClose_;
    QPushButton* cmdHelp_;
};

// "References to Non-existent Objects - server.database" (or "... - module").
std::string MissingReferencesCaption(const std::string& server, const std::string& database,
                                     const std::string& module);

} // namespace orv
