// One running copy of the program's server and options windows, driven offscreen: it adds
// servers through the Add Server dialog (trial connection included), removes some of them again
// through the Remove Server dialog and saves the options through the Options dialog, over and
// over. Two of these started at once on the same configuration folder are the two copies of the
// program a user may have open. Every change is journalled before it starts and after it
// completed, so the test can tell what must be in the registry file, whatever happened.
//
// concurrent_dialogs_driver --copy C --ops N --port PORT --journal FILE --program-dir DIR
//   [--only-options 1]
//   The registry file is the one $XDG_CONFIG_HOME names, as for the program. Add i logs in as
//   LoginFor(C, i) with PasswordFor(C, i) (the test gives the simulator those logins).
#include "concurrent_dialogs_journal.h"
#include "core/paths.h"
#include "core/settings.h"
#include "keyring/keyring_store.h"
#include "servers/server_list.h"
#include "ui/servers/frm_add_server.h"
#include "ui/servers/frm_delete_server.h"
#include "ui/settings/frm_options.h"
#include "ui/widgets/qt_list_control.h"
#include "util/memory_prompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <string>

namespace orv::test {
namespace {

struct Args {
    int copy = 0;
    int ops = 0;
    int port = 0;
    std::string journal;
    std::string programDir;
    // Options saves only: both copies saving at the same moment, over and over.
    bool onlyOptions = false;
    // After its steps the copy goes on saving options until it is killed, so that a kill at
    // any moment finds it in the middle of its work however fast the machine is.
    bool untilKilled = false;
};

bool ParseArgs(int argc, char** argv, Args& a) {
    std::map<std::string, std::string> v;
    for (int i = 1; i + 1 < argc; i += 2)
        v[argv[i]] = argv[i + 1];
    a.copy = std::atoi(v["--copy"].c_str());
    a.ops = std::atoi(v["--ops"].c_str());
    a.port = std::atoi(v["--port"].c_str());
    a.journal = v["--journal"];
    a.programDir = v["--program-dir"];
    a.onlyOptions = v["--only-options"] == "1";
    a.untilKilled = v["--until-killed"] == "1";
    return a.ops > 0 && a.port > 0 && !a.journal.empty() && !a.programDir.empty();
}

template <class W> W* Child(QWidget& w, const char* name) {
    W* c = w.findChild<W*>(name);
    if (!c) {
        std::fprintf(stderr, "driver: no control %s\n", name);
        std::exit(3);
    }
    return c;
}

void Type(QWidget& w, const char* box, const std::string& text) {
    Child<QLineEdit>(w, box)->setText(QString::fromStdString(text));
}

void Click(QWidget& w, const char* button) {
    QTest::mouseClick(Child<QPushButton>(w, button), Qt::LeftButton);
}

bool AddServer(const std::string& name, const std::string& login, const std::string& password) {
    frmAddServer w;
    w.show();
    Type(w, "txtServer", name);
    Type(w, "txtDatabase", "master");
    Type(w, "txtLogin", login);
    Type(w, "txtPassword", password);
    Click(w, "cmdOK");
    return w.ServerAdded();
}

bool RemoveServer(const std::string& name) {
    frmDeleteServer w;
    w.show();
    auto* list = Child<QtListControl>(w, "lstServers");
    int row = -1;
    for (int i = 0; i < list->Count() && row < 0; ++i)
        if (list->CellText(i, 0) == name)
            row = i;
    if (row < 0)
        return false;
    list->SetSelected(row, true);
    Click(w, "cmdRemove");
    return w.ServerDeleted();
}

bool SaveOptions(const OptionSet& set, bool viaOk) {
    frmOptions w;
    w.show();
    for (size_t i = 0; i < kOptionChecks.size(); ++i)
        Child<QCheckBox>(w, kOptionChecks[i].box)->setChecked(set.checks[i]);
    Child<QRadioButton>(w, set.serverSide ? "optCurLoc(1)" : "optCurLoc(0)")->setChecked(true);
    Type(w, "txtMaxRows", std::to_string(set.maxRows));
    Type(w, "txtCacheSize", std::to_string(set.cacheSize));
    Click(w, viaOk ? "cmdOK" : "cmdApply");
    return w.OptionsSaved();
}

bool SaveOptionSet(Journal& journal, int copy, int step) {
    const OptionSet set = OptionSetFor(copy, step);
    const std::string text = set.Text();
    journal.Begin("OPT", text);
    if (!SaveOptions(set, step % 4 == 1))
        return false;
    journal.Done("OPT", text);
    return true;
}

int Run(const Args& a) {
    InitFilePaths(a.programDir, a.programDir, a.programDir);
    // The messages a person would answer: Yes to the removal question. Any other message means
    // a step went wrong, and makes the copy fail.
    MemoryPrompter prompter;
    SetCurrentPrompter(&prompter);
    Journal journal(a.journal);
    std::deque<std::string> live;
    int failures = 0;
    for (int i = 0; i < a.ops && a.onlyOptions; ++i)
        failures += SaveOptionSet(journal, a.copy, i) ? 0 : 1;
    for (int i = 0; i < a.ops && !a.onlyOptions; ++i) {
        const std::string name = ServerNameFor(a.copy, i, a.port);
        journal.Begin("ADD", name);
        if (AddServer(name, LoginFor(a.copy, i), PasswordFor(a.copy, i))) {
            journal.Done("ADD", name);
            live.push_back(name);
        } else {
            ++failures;
        }
        if (i % 3 == 2 && !live.empty()) {
            const std::string victim = live.front();
            live.pop_front();
            journal.Begin("DEL", victim);
            if (RemoveServer(victim))
                journal.Done("DEL", victim);
            else
                ++failures;
        }
        if (i % 2 == 1)
            failures += SaveOptionSet(journal, a.copy, i) ? 0 : 1;
    }
    // Both copies end with a run of saves, so that their last saves are likely to meet: the
    // stored set must then still be one of them whole.
    for (int k = 0; k < kFinalSaves || a.untilKilled; ++k)
        failures += SaveOptionSet(journal, a.copy, a.ops + k) ? 0 : 1;
    for (const auto& m : prompter.messages) {
        if (m.title == "Confirm Removing Server")
            continue;
        ++failures;
        std::fprintf(stderr, "driver %d: message \"%s\": %s\n", a.copy, m.title.c_str(),
                     m.text.c_str());
    }
    SetCurrentPrompter(nullptr);
    return failures == 0 ? 0 : 1;
}

} // namespace
} // namespace orv::test

// The offscreen platform warns about every window's size hints; nothing else is dropped.
void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains("propagateSizeHints"))
        return;
    std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, message).toLocal8Bit().data());
}

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    qInstallMessageHandler(QuietMessages);
    orv::test::Args args;
    if (!orv::test::ParseArgs(argc, argv, args)) {
        std::fprintf(stderr, "usage: concurrent_dialogs_driver --copy C --ops N --port PORT "
                             "--journal FILE --program-dir DIR\n");
        return 2;
    }
    QApplication app(argc, argv);
    // Under tests/support/with-keyring the passwords go to the session's keyring, as the
    // program's would.
    orv::UseDesktopKeyringWhenAvailable();
    return orv::test::Run(args);
}
