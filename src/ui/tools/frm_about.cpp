#include "ui/tools/frm_about.h"

#include "core/log.h"
#include "core/password_store.h"
#include "core/paths.h"
#include "core/program_info.h"
#include "core/registry.h"
#include "servers/connection_string.h"
#include "servers/data_access.h"
#include "servers/odbc_connection.h"
#include "ui/widgets/qt_text.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QtGlobal>

namespace orv {

std::vector<std::pair<std::string, std::string>> AboutFacts(const ServerEntry* server) {
    std::vector<std::pair<std::string, std::string>> f;
    f.emplace_back("Program", "Orvane - compares the objects of SQL Server databases");
    f.emplace_back("Version",
                   GetRegString(HKEY_CURRENT_USER, "Software\\MAV", "VerNum", kProgramVersion));
    f.emplace_back("Build", std::to_string(kBuildNumber) + ", built " + __DATE__ + " " + __TIME__);
    f.emplace_back("Licence", "GNU General Public License, version 3 or later");
    f.emplace_back("Qt", std::string(qVersion()) + " (built with " + QT_VERSION_STR + ")");
    const std::string dm = DataAccessVersion();
    f.emplace_back("unixODBC driver manager", dm.empty() ? "not found" : "ODBC version " + dm);
    std::string driver = ResolveOdbcDriver().driverValue;
    if (server != nullptr && !server->Name.empty()) {
        std::string name, version;
        if (OdbcDriverInUse(*server, name, version))
            driver = name + " " + version + " (reaching " + server->Name + ")";
        else
            driver += " (" + server->Name + " could not be reached to ask its version)";
    } else {
        driver += " (connect to a server to see its version)";
    }
    f.emplace_back("ODBC driver", driver);
    f.emplace_back("Settings and servers", RegistryFilePath());
    f.emplace_back("Passwords", CurrentPasswordStore()->KeptText());
    f.emplace_back("Log file", Paths().LogFile);
    return f;
}

frmAbout::frmAbout(const ServerEntry* server, QWidget* parent)
    : QDialog(parent), facts_(AboutFacts(server)) {
    setObjectName("frmAbout");
    setWindowTitle("About Orvane");
    auto* grid = new QGridLayout(this);
    auto* title = new QLabel("<b style='font-size:15pt'>Orvane</b>", this);
    title->setObjectName("lblTitle");
    grid->addWidget(title, 0, 0, 1, 2);
    int row = 1;
    for (const auto& [label, value] : facts_) {
        auto* l = new QLabel(Q(label + ":"), this);
        auto* v = new QLabel(Q(value), this);
        v->setTextFormat(Qt::PlainText);
        v->setTextInteractionFlags(Qt::TextSelectableByMouse);
        v->setObjectName(Q("lblFact" + std::to_string(row)));
        grid->addWidget(l, row, 0, Qt::AlignTop);
        grid->addWidget(v, row, 1);
        ++row;
    }
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("cmdOK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    grid->addWidget(ok, row, 1, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    setMinimumWidth(560);
}

std::string frmAbout::Fact(const std::string& label) const {
    for (const auto& [l, v] : facts_)
        if (l == label)
            return v;
    return "";
}

} // namespace orv
