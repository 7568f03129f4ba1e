// Reads a database's catalog on a worker thread for a window that must stay usable meanwhile:
// progress goes through a QtProgressSink, Stop cuts the running query short, and the window
// hears once, on its own thread, how the read ended. A catalog already in the cache ends the
// job at once without a query.
#pragma once

#include "explore/db_catalog.h"
#include "ui/widgets/qt_progress_sink.h"

#include <QObject>

class QLabel;

#include <functional>
#include <memory>
#include <thread>

namespace orv {

class CatalogLoadJob : public QObject {
    Q_OBJECT
public:
    explicit CatalogLoadJob(std::shared_ptr<DbCatalogCache> cache, QObject* parent = nullptr);
    // Stops a read still going and waits for its thread.
    ~CatalogLoadJob() override;

    // False when a read is already running. `done` runs on the GUI thread when it has ended.
    bool Start(const QueryPlace& place, const std::vector<ObjectType>& types,
               const CatalogReadOptions& options, std::function<void(const CatalogLoad&)> done);
    void Stop();
    bool Running() const { return running_; }
    QtProgressSink& Sink() { return sink_; }

private:
    void Finish(CatalogLoad load);

    std::shared_ptr<DbCatalogCache> cache_;
    QtProgressSink sink_;
    std::unique_ptr<CancelToken> cancel_;
    std::thread worker_;
    bool running_ = false;
    std::function<void(const CatalogLoad&)> done_;
};

// The read options the stored settings give.
CatalogReadOptions CurrentCatalogReadOptions();

// For a load that ended without a catalog: `status` says it was stopped (`stoppedText`) or
// that the catalog could not be read, and a failure is also told in a message box. True when
// the load has a catalog to work on.
bool CatalogLoadUsable(const CatalogLoad& load, QLabel* status, const char* stoppedText);

} // namespace orv
