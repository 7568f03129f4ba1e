// The main window's features each live in a controller the window owns (compare-all, data
// comparisons, Find Object and its relatives, saved comparison processes): the feature's menu
// items and buttons, its commands and the windows it opens. A new feature adds a controller
// here, not members to frmMain. The controller reaches the panels through the window's public
// accessors, and the window's handlers of the feature hand over to it.
#pragma once

#include "catalog/object_types.h"
#include "servers/server_entry.h"

#include <QObject>

#include <string>

namespace orv {

class frmMain;

class MainWindowController : public QObject {
public:
    explicit MainWindowController(frmMain& main) : main_(main) {}

protected:
    frmMain& Main() const { return main_; }
    // The server shown in a panel (Source 0, Target 1).
    static ServerEntry& PanelServer(int panel);
    // The place of `type` in the type selector; -1 when the selector does not offer it.
    int OfferedTypeIndex(ObjectType type) const;
    // "name(i)": the object name of one of the two panels' controls or menu items.
    static std::string Indexed(const char* name, int i);
    static void Inform(const std::string& title, const std::string& text);

private:
    frmMain& main_;
};

} // namespace orv
