// frmGetDbInfo, "Analyzing Database": runs the inventory of one panel's database as a small
// progress window (a status line per object type, blinking dots, the elapsed time) that can be
// cancelled, and hands the finished report back through gstrReportText.
#pragma once

#include <QDialog>
#include <QElapsedTimer>

#include <array>
#include <string>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

namespace orv {

class frmGetDbInfo : public QDialog {
    Q_OBJECT
public:
    explicit frmGetDbInfo(QWidget* parent = nullptr);
    ~frmGetDbInfo() override;

    // Analyses `database` on the server of panel plngDbIndex (0 Source, 1 Target), modally;
    // the window closes itself when done. gstrReportText holds the report only when all six
    // types ran.
    void ShowUp(int plngDbIndex, const std::string& database);

    bool mblnCancel = false;
    bool Running() const;
    QLabel* StatusLabel(int index) const { return lblComparing_[static_cast<size_t>(index)]; }
    QLabel* TimeLabel() const { return lblTime_; }
    QFrame* Dot(int index) const { return dots_[static_cast<size_t>(index)]; }
    QPushButton* CancelButton() const { return cmdCancel_; }
    QTimer* StatusTimer() const { return tmrStatus_; }

signals:
    // A type's analysis has begun (0 tables ... 5 relationships).
    void stepStarted(int step);

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class Runner;
    void GetDbInfo();
    void UpdateTime();
    void ShowElapsed();
    void TimerTick();
    void Unload();

    int serverIndex_ = 0;
    std::string database_;
    bool activated_ = false;
    int currentDot_ = 0;
    QElapsedTimer started_;
    QFrame* fraContainer_[2] = {};
    QLabel* lblInfo_;
    std::array<QLabel*, 7> lblComparing_{};
    std::array<QFrame*, 15> dots_{};
    QLabel* lblTime_;
    QTimer* tmrStatus_;
    QPushButton* cmdOK_;
    QPushButton* cmdCancel_;
};

} // namespace orv
