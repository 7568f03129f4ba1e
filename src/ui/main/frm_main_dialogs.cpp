// The windows the main window opens, wired to the real ones unless the caller supplied others.
#include "ui/main/frm_main.h"

#include "ui/main/frm_report.h"
#include "ui/servers/frm_add_server.h"
#include "ui/servers/frm_delete_server.h"
#include "ui/settings/frm_options.h"
#include "ui/settings/frm_timeout.h"
#include "ui/tools/frm_attach_db.h"
#include "ui/tools/frm_data_view.h"
#include "ui/tools/frm_get_db_info.h"
#include "ui/widgets/qt_list_control.h"

namespace orv {

void frmMain::InstallDefaultDialogs() {
    if (!dialogs_.addServer)
        dialogs_.addServer = [](QWidget* owner) {
            bool added = false;
            frmAddServer dialog(owner);
            dialog.ShowUp(added);
            return added;
        };
    if (!dialogs_.removeServer)
        dialogs_.removeServer = [](QWidget* owner) {
            bool removed = false;
            frmDeleteServer dialog(owner);
            dialog.ShowUp(removed);
            return removed;
        };
    if (!dialogs_.showComparison)
        dialogs_.showComparison = [](QWidget* owner, const ComparisonReportRequest& r) {
            ShowComparisonReportWindow(r, owner);
        };
    if (!dialogs_.showReport)
        dialogs_.showReport = [](QWidget* owner, const std::string& caption, int helpContext) {
            frmReport report(owner);
            report.HelpContextID = helpContext;
            report.mstrFormCaption = caption;
            report.ShowUp_Generic(caption);
        };
    if (!dialogs_.viewData)
        dialogs_.viewData = [](QWidget* owner, const std::string& extendedName,
                               const std::string& objectName, const std::string& database,
                               int panel, int32_t objectId) {
            frmDataView view(owner);
            view.ShowUp(extendedName, objectName, database, panel, objectId);
        };
    if (!dialogs_.databaseInfo)
        dialogs_.databaseInfo = [](QWidget* owner, int panel) {
            // The database is the one the panel's list shows as the analysis starts.
            std::string database;
            if (auto* main = qobject_cast<frmMain*>(owner))
                database = main->DatabaseList(panel)->CurrentText();
            frmGetDbInfo window(owner);
            window.ShowUp(panel, database);
        };
    if (!dialogs_.attachDatabase)
        dialogs_.attachDatabase = [](QWidget* owner) {
            frmAttachDb dialog(owner);
            return dialog.ShowUp(0);
        };
    if (!dialogs_.options)
        dialogs_.options = [](QWidget* owner) {
            bool saved = false;
            frmOptions dialog(owner);
            dialog.ShowUp(saved);
            return saved;
        };
    if (!dialogs_.timeout)
        dialogs_.timeout = [](QWidget* owner) {
            frmTimeout dialog(owner);
            dialog.exec();
        };
}

} // namespace orv
