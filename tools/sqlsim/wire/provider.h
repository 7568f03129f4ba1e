// Where connections get their sessions from: the engine in the real server, a fake in tests.
#pragma once

#include "engine/engine.h"

#include <memory>
#include <string>

namespace sqlsim::wire {

class SessionProvider {
public:
    virtual ~SessionProvider() = default;
    // `connection`: what sys.dm_exec_connections is to show of the client's connection.
    virtual std::unique_ptr<Session> openSession(const std::string& login,
                                                 const std::string& database, ServerMessage& error,
                                                 const ConnectionFacts& connection) = 0;
};

class EngineSessions : public SessionProvider {
public:
    explicit EngineSessions(Engine& engine) : engine_(engine) {}
    std::unique_ptr<Session> openSession(const std::string& login, const std::string& database,
                                         ServerMessage& error,
                                         const ConnectionFacts& connection) override {
        return engine_.openSession(login, database, error, &connection);
    }

private:
    Engine& engine_;
};

} // namespace sqlsim::wire
