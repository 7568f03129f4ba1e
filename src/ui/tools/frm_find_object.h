// Find Object: looks for a pattern in the names, definition texts and column names of one
// panel's database. The catalog is read once (with progress and Stop) and kept until the panel
// is refreshed; every later search answers from memory. A double-click on a match shows the
// object in its panel, scrolled to the matching line.
#pragma once

#include "explore/object_search.h"
#include "servers/server_entry.h"

#include <QDialog>

#include <array>
#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace orv {

class CatalogLoadJob;
class Gauge;

constexpr int kHelpTopicFindObject = 530;

class frmFindObject : public QDialog {
    Q_OBJECT
public:
    frmFindObject(int panel, const ServerEntry& server, const std::string& database,
                  std::shared_ptr<DbCatalogCache> cache, QWidget* parent = nullptr);
    ~frmFindObject() override;

    // The Find button: checks the pattern (an invalid one runs nothing), reads the catalog
    // when it is not in memory yet, and searches.
    void Find();
    void Stop();
    // The match of a row, or null.
    const SearchMatch* MatchAt(int row) const;
    // What a double-click on a match does (the main window shows it in the panel).
    std::function<void(int panel, const SearchMatch& match)> onMatchChosen;

    int Panel() const { return panel_; }
    const std::string& Database() const { return database_; }
    bool Loading() const;
    QLineEdit* PatternBox() const { return txtPattern_; }
    QCheckBox* RegexBox() const { return chkRegex_; }
    QCheckBox* NamesBox() const { return chkNames_; }
    QCheckBox* TextsBox() const { return chkTexts_; }
    QCheckBox* ColumnsBox() const { return chkColumns_; }
    QCheckBox* TypeBox(int k) const { return chkType_[static_cast<size_t>(k)]; }
    QPushButton* FindButton() const { return cmdFind_; }
    QPushButton* StopButton() const { return cmdStop_; }
    QTreeWidget* Results() const { return lvwResults_; }
    QLabel* StatusLabel() const { return lblStatus_; }

signals:
    // A search has ended and its results are shown (tests wait for it).
    void searched();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Loaded(const CatalogLoad& load, const SearchRequest& request);
    void ShowResults(const DbCatalog& catalog, const SearchRequest& request);
    void SetLoading(bool on);
    void ChooseRow(int row);

    int panel_;
    ServerEntry server_;
    std::string database_;
    std::shared_ptr<DbCatalogCache> cache_;
    CatalogLoadJob* job_;
    std::unique_ptr<SearchPattern> pattern_;
    std::vector<SearchMatch> matches_;

    QLineEdit* txtPattern_;
    QCheckBox* chkRegex_;
    QCheckBox* chkNames_;
    QCheckBox* chkTexts_;
    QCheckBox* chkColumns_;
    std::array<QCheckBox*, 5> chkType_{};
    QPushButton* cmdFind_;
    QPushButton* cmdStop_;
    QPushButton* cmdClose_;
    QPushButton* cmdHelp_;
    Gauge* prbProgress_;
    QLabel* lblStatus_;
    QTreeWidget* lvwResults_;
};

// "Find Object - Source Database (server.database)".
std::string FindObjectCaption(int panel, const std::string& server, const std::string& database);

} // namespace orv
