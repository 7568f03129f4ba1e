// Accepts clients and runs each connection on its own thread.
#pragma once

#include "wire/connection.h"
#include "wire/net.h"
#include "wire/provider.h"

#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace sqlsim::wire {

class Server {
public:
    Server(SessionProvider& sessions, const ServerSettings& settings);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    bool listen(const std::string& host, uint16_t port, std::string& error);
    uint16_t port() const { return port_; }
    // Accepts connections until `stopFd` becomes readable, then closes every connection
    // and waits for their threads.
    void serve(int stopFd);
    size_t activeConnections();

private:
    struct Worker {
        std::unique_ptr<Connection> connection;
        std::thread thread;
        std::atomic<bool> finished{false};
    };
    void reapFinished();
    void stopAll();

    SessionProvider& sessions_;
    const ServerSettings& settings_;
    Fd listener_;
    uint16_t port_ = 0;
    std::mutex mutex_;
    std::list<Worker> workers_;
};

} // namespace sqlsim::wire
