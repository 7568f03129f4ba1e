// Find Object (menu and panel buttons), the references to non-existent objects (panel buttons
// for the whole database, the text views' context item for the selected object), Refresh of a
// panel (File menu), and showing a found object in its panel; over a catalog cache that
// Refresh empties for the panel's server.
#pragma once

#include "ui/main/main_controller.h"

#include <QPointer>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace orv {

class DbCatalogCache;
class frmFindObject;
class frmMissingReferences;

class ExploreController : public MainWindowController {
public:
    using MainWindowController::MainWindowController;

    // The menu items, the panels' Find buttons and the context item.
    void Wire();

    void FindObject(int panel);
    // Every module of the panel's database, or only the object selected in its list.
    void CheckReferences(int panel, bool selectedObjectOnly);
    // Reads the panel's databases, object list and text again, keeping the database, type,
    // owner and object where they still exist.
    void RefreshPanel(int panel);
    // Shows an object of `database` in the panel and selects `highlight` in line `line`
    // (1-based) of its text. False (and a message) when the panel cannot show it.
    bool ShowObjectAt(int panel, const std::string& server, const std::string& database,
                      ObjectType type, int32_t id, const std::string& listedName, int line,
                      const std::string& highlight);

    const std::shared_ptr<DbCatalogCache>& CatalogCache() const { return catalogCache_; }
    frmFindObject* FindWindow(int panel) const;
    frmMissingReferences* ReferencesWindow() const;

private:
    // The row of the object in the panel's list, by id, then by name with and without its
    // schema; -1 when the list does not show it.
    int ListedRow(int panel, int32_t id, const std::string& listedName) const;

    std::shared_ptr<DbCatalogCache> catalogCache_;
    std::array<QPointer<frmFindObject>, 2> findWindows_{};
    QPointer<frmMissingReferences> refsWindow_;
};

} // namespace orv
