// Shared helpers of the engine tests: a sink that records everything, a fresh engine in its
// own temporary directory, and shortcuts to run SQL and read the answer.
#pragma once

#include "engine/engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace sqlsim::test {

struct ResultSet {
    std::vector<ColumnInfo> cols;
    std::vector<std::vector<Value>> rows;

    int col(const std::string& name) const {
        for (size_t i = 0; i < cols.size(); ++i)
            if (cols[i].name == name)
                return static_cast<int>(i);
        return -1;
    }
    // Cell as text, "NULL" for null: compact to compare in tests.
    std::string at(size_t row, size_t c) const {
        const Value& v = rows.at(row).at(c);
        switch (v.kind) {
        case Value::Kind::Null:
            return "NULL";
        case Value::Kind::Int:
            return std::to_string(v.i);
        case Value::Kind::Float: {
            std::ostringstream o;
            o << v.f;
            return o.str();
        }
        default:
            return v.text;
        }
    }
    std::vector<std::string> column(size_t c) const {
        std::vector<std::string> out;
        for (size_t r = 0; r < rows.size(); ++r)
            out.push_back(at(r, c));
        return out;
    }
};

struct Done {
    bool hasCount;
    int64_t count;
    bool more;
};

class CaptureSink : public ResultSink {
public:
    std::vector<ResultSet> sets;
    std::vector<ServerMessage> messages;
    std::vector<Done> dones;
    std::vector<std::pair<std::string, std::string>> dbChanges;
    int returnStatuses = 0;
    long long stopAfter = -1; // row() answers false after this many rows

    void columns(const std::vector<ColumnInfo>& c) override { sets.push_back({c, {}}); }
    bool row(const std::vector<Value>& v) override {
        sets.back().rows.push_back(v);
        return stopAfter < 0 || static_cast<long long>(sets.back().rows.size()) < stopAfter;
    }
    void done(bool hasCount, int64_t count, bool more) override {
        dones.push_back({hasCount, count, more});
    }
    void message(const ServerMessage& m) override { messages.push_back(m); }
    void databaseChanged(const std::string& n, const std::string& o) override {
        dbChanges.emplace_back(n, o);
    }
    void returnStatus(int32_t) override { ++returnStatuses; }

    const ServerMessage* error() const {
        for (const auto& m : messages)
            if (m.severity > 10)
                return &m;
        return nullptr;
    }
    std::string errorText() const {
        const ServerMessage* e = error();
        return e ? std::to_string(e->number) + ": " + e->text : std::string();
    }
};

class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "sqlsim-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline std::string fixture(const std::string& name) {
    const char* dir = std::getenv("SQLSIM_FIXTURES");
    std::string path = std::string(dir ? dir : "tests/fixtures") + "/" + name;
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// An engine over a fresh data directory, with helpers to run SQL in a session.
class EngineFixture {
public:
    explicit EngineFixture(const std::string& version = "10.50.1600.1") {
        EngineOptions o;
        o.dataDir = dir.path() + "/data";
        o.productVersion = version;
        engine = std::make_unique<Engine>(o);
        ServerMessage err;
        session = engine->openSession("sa", "master", err);
    }
    void script(const std::string& sql) {
        std::string error;
        ASSERT_TRUE(engine->runScript(sql, error)) << error;
    }
    CaptureSink run(const std::string& sql, Session* s = nullptr) {
        CaptureSink sink;
        std::atomic<bool> cancel{false};
        (s ? s : session.get())->executeBatch(sql, sink, cancel);
        return sink;
    }
    // Runs a query that must succeed and answer exactly one result set.
    ResultSet query(const std::string& sql, Session* s = nullptr) {
        CaptureSink sink = run(sql, s);
        EXPECT_EQ(sink.error(), nullptr) << sink.errorText() << "\n" << sql;
        EXPECT_EQ(sink.sets.size(), 1u) << sql;
        return sink.sets.empty() ? ResultSet{} : sink.sets.back();
    }
    std::unique_ptr<Session> open(const std::string& db) {
        ServerMessage err;
        return engine->openSession("sa", db, err);
    }

    TempDir dir;
    std::unique_ptr<Engine> engine;
    std::unique_ptr<Session> session;
};

// The two releases most tests run under: the 2000 grammar and catalogs, and a later one.
inline constexpr const char* k2000 = "8.00.2039";
inline constexpr const char* k2008 = "10.50.1600.1";

// The first cell of a query's result, or "<no row>".
inline std::string scalar(EngineFixture& f, const std::string& sql) {
    ResultSet r = f.query(sql);
    return r.rows.empty() ? "<no row>" : r.at(0, 0);
}

// Sends the script one GO-separated batch at a time, as a query tool does, and gathers every
// error with the batch it came from.
inline std::vector<std::string> loadAsClient(EngineFixture& f, const std::string& script) {
    std::vector<std::string> errors;
    std::istringstream in(script);
    std::string line, batch;
    auto send = [&] {
        if (batch.find_first_not_of(" \r\n\t") != std::string::npos) {
            CaptureSink sink = f.run(batch);
            for (const auto& m : sink.messages)
                if (m.severity > 10)
                    errors.push_back(std::to_string(m.number) + ": " + m.text + "\n--- in:\n" +
                                     batch);
        }
        batch.clear();
    };
    while (std::getline(in, line)) {
        std::string word = line.substr(0, line.find_last_not_of(" \r\t") + 1);
        if (word == "GO" || word == "go")
            send();
        else
            batch += line + "\n";
    }
    send();
    return errors;
}

inline std::string joined(const std::vector<std::string>& v) {
    std::string out;
    for (const auto& s : v)
        out += s + "\n";
    return out;
}

} // namespace sqlsim::test
