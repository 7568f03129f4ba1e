// The worker half of every run in a progress window: the engine is run so that the window
// always hears back with results, failed ones saying why when the engine threw or gave none.
#pragma once

#include "util/progress.h"

#include <exception>
#include <string>

namespace orv {

// `failed(request, why)` makes the results of a run that ended without any.
template <class ResultsPtr, class Request, class Engine, class Failed>
ResultsPtr RunEngineGuarded(const Engine& engine, const Request& request, ProgressSink& sink,
                            const CancelToken& cancel, Failed failed) {
    ResultsPtr results;
    try {
        results = engine ? engine(request, sink, cancel) : nullptr;
    } catch (const std::exception& e) {
        results = failed(request, e.what());
    } catch (...) {
        results = failed(request, "The comparison ended with an unexpected error.");
    }
    if (!results)
        results = failed(request, "The comparison ended without results.");
    return results;
}

} // namespace orv
