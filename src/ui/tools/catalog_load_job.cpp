#include "ui/tools/catalog_load_job.h"

#include "core/program_info.h"
#include "dbcompare/run_settings.h"
#include "servers/exec_ado_cmd.h"
#include "util/prompter.h"

#include <QLabel>
#include <QMetaObject>
#include <QTimer>

#include <exception>

namespace orv {

CatalogReadOptions CurrentCatalogReadOptions() {
    return CatalogReadOptionsFromSettings();
}

bool CatalogLoadUsable(const CatalogLoad& load, QLabel* status, const char* stoppedText) {
    if (load.Catalog)
        return true;
    if (load.Outcome == RunOutcome::Cancelled) {
        status->setText(stoppedText);
    } else {
        status->setText("The catalog could not be read.");
        CurrentPrompter().MessageBox(
            MsgIcon::Warning, kExecutableName,
            ConnectionFailedText(load.ErrorNumber, load.Problem, load.FailedSql));
    }
    return false;
}

CatalogLoadJob::CatalogLoadJob(std::shared_ptr<DbCatalogCache> cache, QObject* parent)
    : QObject(parent), cache_(std::move(cache)) {}

CatalogLoadJob::~CatalogLoadJob() {
    if (cancel_)
        cancel_->RequestCancel();
    if (worker_.joinable())
        worker_.join();
}

bool CatalogLoadJob::Start(const QueryPlace& place, const std::vector<ObjectType>& types,
                           const CatalogReadOptions& options,
                           std::function<void(const CatalogLoad&)> done) {
    if (running_)
        return false;
    if (worker_.joinable())
        worker_.join();
    done_ = std::move(done);
    running_ = true;
    if (DbCatalogPtr ready = cache_->Find(place.Server.Name, place.Database, types)) {
        CatalogLoad load;
        load.Catalog = std::move(ready);
        QTimer::singleShot(0, this, [this, load] { Finish(load); });
        return true;
    }
    cancel_ = std::make_unique<CancelToken>();
    worker_ = std::thread([this, place, types, options, cancel = cancel_.get()] {
        CatalogLoad load;
        try {
            load = cache_->Load(place, types, options, sink_, *cancel);
        } catch (const std::exception& e) {
            load.Outcome = RunOutcome::Failed;
            load.Problem = e.what();
        } catch (...) {
            load.Outcome = RunOutcome::Failed;
            load.Problem = "Reading the catalog failed.";
        }
        QMetaObject::invokeMethod(
            this, [this, load] { Finish(load); }, Qt::QueuedConnection);
    });
    return true;
}

void CatalogLoadJob::Stop() {
    if (running_ && cancel_)
        cancel_->RequestCancel();
}

void CatalogLoadJob::Finish(CatalogLoad load) {
    if (worker_.joinable())
        worker_.join();
    // The progress still on its way describes reading that is over: the window's text now
    // says how it ended.
    sink_.Take();
    running_ = false;
    if (auto done = std::move(done_))
        done(load);
}

} // namespace orv
