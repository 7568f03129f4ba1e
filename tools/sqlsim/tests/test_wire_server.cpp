// The accept loop over real loopback sockets: many clients at once, each on its own session,
// and a stop request that ends every connection promptly.
#include "test_wire_client.h"
#include "wire/server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace sqlsim;
using namespace sqlsim::wiretest;

namespace {

// Answers "SELECT <n>" with n, after a pause that keeps many sessions busy at once.
class EchoSession : public Session {
public:
    explicit EchoSession(std::atomic<int>& busy, std::atomic<int>& peak)
        : busy_(busy), peak_(peak) {}
    std::string currentDatabase() const override { return "master"; }
    int sessionId() const override { return 51; }
    void executeBatch(const std::string& sql, ResultSink& sink,
                      const std::atomic<bool>& cancel) override {
        int now = ++busy_;
        int seen = peak_.load();
        while (now > seen && !peak_.compare_exchange_weak(seen, now)) {
        }
        for (int i = 0; i < 20 && !cancel; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        --busy_;
        ColumnInfo c;
        c.name = "n";
        c.type = SqlType::Int;
        sink.columns({c});
        sink.row({Value::integer(std::stoi(sql.substr(7)))});
        sink.done(true, 1, false);
    }
    void executeRpc(const std::string&, const std::vector<RpcParam>&, ResultSink& sink,
                    const std::atomic<bool>&) override {
        sink.done(false, 0, false);
    }
    bool reset(ServerMessage&) override { return true; }

private:
    std::atomic<int>& busy_;
    std::atomic<int>& peak_;
};

class EchoProvider : public wire::SessionProvider {
public:
    std::atomic<int> busy{0};
    std::atomic<int> peak{0};
    std::unique_ptr<Session> openSession(const std::string&, const std::string&, ServerMessage&,
                                         const ConnectionFacts&) override {
        return std::make_unique<EchoSession>(busy, peak);
    }
};

int connectTo(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

TEST(WireServer, ManyClientsAtOnceThenStopEndsThemAll) {
    EchoProvider provider;
    wire::ServerSettings settings;
    wire::Server server(provider, settings);
    std::string error;
    ASSERT_TRUE(server.listen("127.0.0.1", 0, error)) << error;
    ASSERT_NE(server.port(), 0);
    int stop[2];
    ASSERT_EQ(::pipe(stop), 0);
    std::thread serving([&] { server.serve(stop[0]); });

    constexpr int kClients = 40;
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 0; i < kClients; ++i) {
        int fd = connectTo(server.port());
        ASSERT_GE(fd, 0);
        clients.push_back(std::make_unique<TestClient>(fd));
        ASSERT_NE(findTok(clients.back()->login("sa", "sqlsim"), 0xAD), nullptr);
    }
    std::vector<std::thread> threads;
    std::atomic<int> right{0};
    for (int i = 0; i < kClients; ++i) {
        threads.emplace_back([&, i] {
            auto toks = clients[i]->batch("SELECT " + std::to_string(i));
            const Tok* row = findTok(toks, 0xD1);
            if (row && row->values[0] == std::string(reinterpret_cast<const char*>(&i), 4))
                ++right;
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(right.load(), kClients);
    // Sessions really ran side by side rather than one after another.
    EXPECT_GT(provider.peak.load(), 8);
    EXPECT_EQ(server.activeConnections(), static_cast<size_t>(kClients));

    // Half the clients leave; their threads are reaped.
    for (int i = 0; i < kClients / 2; ++i)
        clients[i].reset();
    for (int i = 0; i < 200 && server.activeConnections() > kClients / 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(server.activeConnections(), static_cast<size_t>(kClients / 2));

    auto start = std::chrono::steady_clock::now();
    char c = 1;
    ASSERT_EQ(::write(stop[1], &c, 1), 1);
    serving.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    // The remaining clients see their connection closed, and nobody can connect any more.
    EXPECT_FALSE(clients.back()->readMessage());
    EXPECT_LT(connectTo(server.port()), 0);
    ::close(stop[0]);
    ::close(stop[1]);
}

TEST(WireServer, ListenRefusesABadAddress) {
    EchoProvider provider;
    wire::ServerSettings settings;
    wire::Server server(provider, settings);
    std::string error;
    EXPECT_FALSE(server.listen("not-an-address", 0, error));
    EXPECT_NE(error.find("not-an-address"), std::string::npos);
}
