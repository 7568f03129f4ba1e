// frmAbout, "About Orvane": the program, its version and build, the libraries and the ODBC
// driver it runs with, and where it keeps its settings and its log.
#pragma once

#include "servers/server_entry.h"

#include <QDialog>

#include <string>
#include <utility>
#include <vector>

class QLabel;

namespace orv {

// The lines of the window as label and value; `server`, when it has a name, is asked over a
// connection which driver reaches it.
std::vector<std::pair<std::string, std::string>> AboutFacts(const ServerEntry* server);

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(const ServerEntry* server, QWidget* parent = nullptr);
    // The value shown for a label ("Version"); empty when there is none.
    std::string Fact(const std::string& label) const;

private:
    std::vector<std::pair<std::string, std::string>> facts_;
};

} // namespace orv
