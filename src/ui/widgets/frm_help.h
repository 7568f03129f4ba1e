// The program's help window: the help pages shown in a text browser of our own, opened at a
// topic's page, following the links between the pages, with Back, Forward and the help index.
// One window serves every request; a request while a modal dialog is open shows it above that
// dialog, where it can be used.
#pragma once

#include <QWidget>

#include <string>

class QPushButton;
class QTextBrowser;
class QUrl;

namespace orv {

class frmHelp : public QWidget {
    Q_OBJECT
public:
    explicit frmHelp(QWidget* parent = nullptr);

    // Shows the page of `topic` (help folder + topic + ".html") in the one help window,
    // creating it when needed. False, with no window shown, when the page does not exist.
    static bool ShowTopic(int topic);
    // The help window now open; nullptr when there is none.
    static frmHelp* Current();

    // Shows a page file; false when it does not exist.
    bool ShowPage(const std::string& path);
    // The page shown (a local file URL).
    QUrl Page() const;

    QTextBrowser* Browser() const { return txtHelp_; }
    QPushButton* BackButton() const { return cmdBack_; }
    QPushButton* ForwardButton() const { return cmdForward_; }
    QPushButton* IndexButton() const { return cmdIndex_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void UpdateTitle();

    QTextBrowser* txtHelp_;
    QPushButton* cmdBack_;
    QPushButton* cmdForward_;
    QPushButton* cmdIndex_;
    QPushButton* cmdClose_;
};

// The help index page's topic.
constexpr int kHelpTopicIndex = 550;

} // namespace orv
