// Where connections get their sessions from: the engine in the real server, a fake in tests.
#pragma once

#include "engine/engine.h"

#include <memory>
#include <string>

namespace sqlsim::wire {

class SessionProvider {
public:
    virtual ~SessionProvider() = default;
    virtual std::unique_ptr<Session>
    openSession(const std::string& login, const std::string& database, ServerMessage& error) = 0;
};

class EngineSessions : public SessionProvider {
public:
    explicit EngineSessions(Engine& engine) : engine_(engine) {}
    std::unique_ptr<Session> openSession(const std::string& login, const std::string& database,
                                         ServerMessage& error) override {
        return engine_.openSession(login, database, error);
    }

private:
    Engine& engine_;
};

} // namespace sqlsim::wire
