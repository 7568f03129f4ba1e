// The wire tests' stand-in for the engine: a scripted session and provider, and one
// server-side connection on its own thread with a test client on the other end.
#pragma once

#include "test_wire_client.h"
#include "wire/connection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <vector>

namespace sqlsim::wiretest {

using BatchFn = std::function<void(const std::string&, ResultSink&, const std::atomic<bool>&)>;

struct Recorded {
    std::mutex mutex;
    std::vector<std::string> batches;
    std::vector<std::string> rpcs;
    std::vector<std::vector<RpcParam>> rpcParams;
    int resets = 0;
};

class FakeSession : public Session {
public:
    FakeSession(std::string db, BatchFn fn, Recorded& rec)
        : db_(db), loginDb_(std::move(db)), fn_(std::move(fn)), rec_(rec) {}
    std::string currentDatabase() const override { return db_; }
    int sessionId() const override { return 51; }
    void executeBatch(const std::string& sql, ResultSink& sink,
                      const std::atomic<bool>& cancel) override {
        {
            std::lock_guard lock(rec_.mutex);
            rec_.batches.push_back(sql);
        }
        if (sql == "SELECT DB_NAME()") {
            ColumnInfo c;
            c.name = "db";
            c.type = SqlType::NVarChar;
            c.size = 256;
            sink.columns({c});
            sink.row({Value::str(db_)});
            sink.done(true, 1, false);
            return;
        }
        if (sql.rfind("USE ", 0) == 0) {
            std::string old = db_;
            db_ = sql.substr(4);
            sink.databaseChanged(db_, old);
            sink.done(false, 0, false);
            return;
        }
        fn_(sql, sink, cancel);
    }
    void executeRpc(const std::string& proc, const std::vector<RpcParam>& params, ResultSink& sink,
                    const std::atomic<bool>&) override {
        std::lock_guard lock(rec_.mutex);
        rec_.rpcs.push_back(proc);
        rec_.rpcParams.push_back(params);
        sink.returnStatus(7);
    }
    bool reset(ServerMessage&) override {
        std::lock_guard lock(rec_.mutex);
        ++rec_.resets;
        db_ = loginDb_;
        return true;
    }

private:
    std::string db_;
    std::string loginDb_;
    BatchFn fn_;
    Recorded& rec_;
};

class FakeProvider : public wire::SessionProvider {
public:
    BatchFn fn = [](const std::string&, ResultSink& sink, const std::atomic<bool>&) {
        sink.done(false, 0, false);
    };
    Recorded rec;
    std::string lastLogin;
    ConnectionFacts lastConnection;
    std::atomic<int> opened{0};
    std::unique_ptr<Session> openSession(const std::string& login, const std::string& database,
                                         ServerMessage& error,
                                         const ConnectionFacts& connection) override {
        lastLogin = login;
        lastConnection = connection;
        ++opened;
        if (!database.empty() && database != "master" && database != "Sales") {
            error.number = 4060;
            error.severity = 11;
            error.text = "Cannot open database \"" + database +
                         "\" requested by the login. The login failed.";
            return nullptr;
        }
        return std::make_unique<FakeSession>(database.empty() ? "master" : database, fn, rec);
    }
};

// One server-side connection on its own thread and a client on the other end.
struct Harness {
    FakeProvider provider;
    wire::ServerSettings settings;
    std::unique_ptr<wire::Connection> conn;
    std::thread thread;
    std::unique_ptr<TestClient> client;

    explicit Harness(uint32_t version = wire::kTds74) { start(version); }
    void start(uint32_t version) {
        int sv[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0)
            throw std::runtime_error("socketpair");
        conn = std::make_unique<wire::Connection>(wire::Fd(sv[0]), provider, settings);
        thread = std::thread([this] { conn->run(); });
        client = std::make_unique<TestClient>(sv[1], version);
    }
    ~Harness() {
        client.reset(); // closing our end ends the connection's loop
        thread.join();
    }
    void loginOk() {
        auto toks = client->login("sa", "sqlsim");
        ASSERT_NE(findTok(toks, 0xAD), nullptr) << "no LOGINACK";
    }
};

inline ColumnInfo col(const std::string& name, SqlType t, int32_t size = 0) {
    ColumnInfo c;
    c.name = name;
    c.type = t;
    c.size = size;
    return c;
}

} // namespace sqlsim::wiretest
