#include "wire/server.h"

#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>

namespace sqlsim::wire {

Server::Server(SessionProvider& sessions, const ServerSettings& settings)
    : sessions_(sessions), settings_(settings) {}

Server::~Server() {
    stopAll();
}

bool Server::listen(const std::string& host, uint16_t port, std::string& error) {
    listener_ = listenTcp(host, port, error);
    if (!listener_)
        return false;
    port_ = localPort(listener_.get());
    return true;
}

size_t Server::activeConnections() {
    reapFinished();
    std::lock_guard lock(mutex_);
    return workers_.size();
}

void Server::serve(int stopFd) {
    while (true) {
        pollfd fds[2] = {{listener_.get(), POLLIN, 0}, {stopFd, POLLIN, 0}};
        int n = ::poll(fds, 2, 1000);
        if (n < 0 && errno != EINTR)
            break;
        reapFinished();
        if (n <= 0)
            continue;
        if (fds[1].revents)
            break;
        if (!(fds[0].revents & POLLIN))
            continue;
        Fd client(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!client)
            continue;
        int one = 1;
        ::setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::lock_guard lock(mutex_);
        Worker& w = workers_.emplace_back();
        w.connection = std::make_unique<Connection>(std::move(client), sessions_, settings_);
        try {
            w.thread = std::thread([&w] {
                w.connection->run();
                w.finished = true;
            });
        } catch (const std::system_error&) {
            workers_.pop_back(); // out of threads: this client is turned away, others go on
        }
    }
    listener_.reset();
    stopAll();
}

void Server::reapFinished() {
    std::list<Worker> done;
    {
        std::lock_guard lock(mutex_);
        for (auto it = workers_.begin(); it != workers_.end();) {
            auto next = std::next(it);
            if (it->finished)
                done.splice(done.end(), workers_, it);
            it = next;
        }
    }
    for (auto& w : done)
        w.thread.join();
}

void Server::stopAll() {
    std::list<Worker> all;
    {
        std::lock_guard lock(mutex_);
        all.splice(all.end(), workers_);
    }
    for (auto& w : all)
        w.connection->shutdown();
    for (auto& w : all)
        if (w.thread.joinable())
            w.thread.join();
}

} // namespace sqlsim::wire
