// The boundary between the TDS front end (wire/) and the SQL engine (engine/).
//
// The wire side owns sockets, packets, login records and tokens. It hands each SQL batch or
// RPC call to a Session and turns what the Session reports through a ResultSink into TDS
// tokens. The engine side owns databases (one SQLite file each), the catalog that the DDL
// builds, and the translation of T-SQL into something SQLite can run.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sqlsim {

// SQL Server column types as they travel in COLMETADATA. The wire side picks the TDS type
// byte from these; `size` is in bytes as SQL Server reports it (nvarchar(20) -> 40,
// nvarchar(max) -> -1 meaning "max").
enum class SqlType {
    TinyInt,
    SmallInt,
    Int,
    BigInt,
    Bit,
    Real,
    Float,
    Decimal, // precision, scale
    Numeric, // precision, scale
    Money,
    SmallMoney,
    DateTime,
    SmallDateTime,
    Char,
    VarChar,
    NChar,
    NVarChar,
    Text,
    NText,
    Binary,
    VarBinary,
    Image,
    UniqueIdentifier,
    SqlVariant, // sent as nvarchar by the wire side when a value's type is not fixed
    // The 2008 types: precision and scale as SQL Server reports them. TDS 7.3 carries them as
    // such; older clients get them as nvarchar text, as SQL Server sends them down-level.
    Date,
    Time,
    DateTime2,
    DateTimeOffset,
};

struct ColumnInfo {
    std::string name; // UTF-8
    SqlType type = SqlType::NVarChar;
    int32_t size = 0; // bytes; -1 for (max)
    uint8_t precision = 0;
    uint8_t scale = 0;
    bool nullable = true;
    bool identity = false;
};

// One cell. Texts are UTF-8 (the wire side converts to UCS-2 or to the single-byte collation
// for char/varchar). Binary values are raw bytes in `text`. Decimal/Numeric/Money values are
// kept as their exact decimal text ("123.4500"). DateTime values are "YYYY-MM-DD hh:mm:ss.fff";
// Date, Time, DateTime2 and DateTimeOffset values are SQL Server's text forms of them.
// UniqueIdentifier is the canonical 36-character text.
struct Value {
    enum class Kind { Null, Int, Float, Text } kind = Kind::Null;
    int64_t i = 0;
    double f = 0.0;
    std::string text;

    static Value null() { return {}; }
    static Value integer(int64_t v) {
        Value x;
        x.kind = Kind::Int;
        x.i = v;
        return x;
    }
    static Value real(double v) {
        Value x;
        x.kind = Kind::Float;
        x.f = v;
        return x;
    }
    static Value str(std::string v) {
        Value x;
        x.kind = Kind::Text;
        x.text = std::move(v);
        return x;
    }
};

// An error or message as SQL Server reports it (ERROR / INFO tokens).
struct ServerMessage {
    int32_t number = 0;
    uint8_t state = 1;
    uint8_t severity = 16; // >10 is an error, <=10 an informational message
    std::string text;
    std::string procName;
    int32_t line = 1;
};

// Receives the results of one batch or RPC, in order. The wire side streams each call out
// as TDS tokens, so a large result never sits in memory.
class ResultSink {
public:
    virtual ~ResultSink() = default;
    // A new result set begins.
    virtual void columns(const std::vector<ColumnInfo>& cols) = 0;
    // One row of the current result set. Returning false means the client cancelled
    // (attention) or went away: the engine stops producing rows for this call.
    virtual bool row(const std::vector<Value>& values) = 0;
    // End of one statement: with a row count when the statement produced one (SELECT,
    // INSERT, ...), `more` true when further statements of the batch follow.
    virtual void done(bool hasRowCount, int64_t rowCount, bool more) = 0;
    virtual void message(const ServerMessage& m) = 0;
    // The session's current database changed (USE, or login). The wire side sends ENVCHANGE.
    virtual void databaseChanged(const std::string& newDb, const std::string& oldDb) = 0;
    // Return status of a stored procedure call (RETURNSTATUS token).
    virtual void returnStatus(int32_t status) { (void)status; }
};

// A parameter of an RPC call (sp_executesql and friends), already decoded by the wire side.
struct RpcParam {
    std::string name; // "@P1", may be empty for positional parameters
    ColumnInfo type;
    Value value;
    bool output = false;
    bool useDefault = false; // EXEC proc DEFAULT: the parameter's declared default
};

struct EngineOptions {
    std::string dataDir;                         // where the SQLite files live
    std::string productVersion = "10.50.1600.1"; // serverproperty('ProductVersion')
};

class Session;

// What the network side knows of a client's connection, as sys.dm_exec_connections shows it.
struct ConnectionFacts {
    // Every packet after the login travels in TLS; a login encrypted alone does not count.
    bool encrypted = false;
    std::string authScheme = "SQL"; // "SQL" or "NTLM"
    int packetSize = 4096;
    std::string clientAddress;
    int clientPort = 0;
    std::string localAddress;
    int localPort = 0;
};

class Engine {
public:
    explicit Engine(EngineOptions options);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Runs a start-up script (T-SQL with GO separators) as the system administrator.
    // Returns false and fills `error` on the first failing batch.
    bool runScript(const std::string& sqlText, std::string& error);

    // Whether `name` is a database (case-insensitive).
    bool databaseExists(const std::string& name) const;

    // Opens a session for a login that the wire side has already authenticated.
    // `database` is the database named in LOGIN7 (empty: master). Returns nullptr and fills
    // `error` (4060 "Cannot open database ...") when it does not exist. A session opened for a
    // client's connection names it; one without (start-up scripts, tests of the engine alone)
    // has a session id but no row in sys.dm_exec_connections.
    std::unique_ptr<Session> openSession(const std::string& login, const std::string& database,
                                         ServerMessage& error,
                                         const ConnectionFacts* connection = nullptr);

    int majorVersion() const;
    const EngineOptions& options() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// One client connection's state: current database, SET options, its own SQLite handles.
// A Session is used by one thread at a time; different Sessions run on different threads
// at once.
class Session {
public:
    virtual ~Session() = default;
    virtual std::string currentDatabase() const = 0;
    // @@SPID: the lowest number from 51 up that no other live session holds, as SQL Server
    // numbers user sessions.
    virtual int sessionId() const = 0;
    // Runs a SQL batch. `cancel` becomes true when the client sends ATTENTION; the engine
    // polls it between rows and while waiting (WAITFOR DELAY) and stops soon after.
    virtual void executeBatch(const std::string& sql, ResultSink& sink,
                              const std::atomic<bool>& cancel) = 0;
    // Runs an RPC call by procedure name (sp_executesql, sp_prepexec, sp_attach_db, ...).
    virtual void executeRpc(const std::string& procName, const std::vector<RpcParam>& params,
                            ResultSink& sink, const std::atomic<bool>& cancel) = 0;
    // Puts the session back as it was right after login, as a pooled connection expects
    // before it is handed out again: the login database, default SET options, no temporary
    // tables, no open transaction. Returns false and fills `error` when the login database
    // has gone away meanwhile.
    virtual bool reset(ServerMessage& error) = 0;
};

} // namespace sqlsim
