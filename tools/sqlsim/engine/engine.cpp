#include "engine/engine.h"

namespace sqlsim {

struct Engine::Impl {
    EngineOptions options;
};

namespace {
class StubSession : public Session {
public:
    explicit StubSession(std::string db) : db_(std::move(db)) {}
    std::string currentDatabase() const override { return db_; }
    void executeBatch(const std::string&, ResultSink& sink, const std::atomic<bool>&) override {
        sink.message({102, 1, 16, "Incorrect syntax near 'SELECT'.", "", 1});
        sink.done(false, 0, false);
    }
    void executeRpc(const std::string&, const std::vector<RpcParam>&, ResultSink& sink,
                    const std::atomic<bool>&) override {
        sink.message({2812, 62, 16, "Could not find stored procedure.", "", 1});
        sink.done(false, 0, false);
    }

private:
    std::string db_;
};
} // namespace

Engine::Engine(EngineOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
}
Engine::~Engine() = default;
bool Engine::runScript(const std::string&, std::string& error) {
    error = "not implemented yet";
    return false;
}
bool Engine::databaseExists(const std::string& name) const {
    return name == "master";
}
std::unique_ptr<Session> Engine::openSession(const std::string&, const std::string& database,
                                             ServerMessage&) {
    return std::make_unique<StubSession>(database.empty() ? "master" : database);
}
int Engine::majorVersion() const {
    return std::stoi(impl_->options.productVersion);
}
const EngineOptions& Engine::options() const {
    return impl_->options;
}

} // namespace sqlsim
