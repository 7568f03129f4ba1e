#include "servers/odbc_connection.h"

#include "core/registry.h"
#include "core/settings.h"
#include "servers/freetds_config.h"
#include "servers/odbc_text.h"
#include "util/text.h"

#include <sql.h>
#include <sqlext.h>

#include <deque>
#include <map>
#include <mutex>
#include <sys/stat.h>

namespace orv {

namespace {

constexpr const char* kFreeTdsName = "FreeTDS";
// Debian's tdsodbc package puts the driver here; the driver manager can load it by path when
// no odbcinst.ini entry names it.
constexpr const char* kFreeTdsLibrary = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so";
// An idle connection older than this may have been dropped by the server; log in anew.
constexpr auto kIdleLimit = std::chrono::seconds(60);
constexpr size_t kMaxIdle = 8;

const SQLWCHAR* W(const std::u16string& s) {
    return reinterpret_cast<const SQLWCHAR*>(s.c_str());
}

SQLHENV Environment() {
    static OdbcHandle env = [] {
        SQLHANDLE h = SQL_NULL_HANDLE;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h)))
            return OdbcHandle();
        SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return OdbcHandle(SQL_HANDLE_ENV, h);
    }();
    return env.Get();
}

bool DriverRegistered(const std::string& name) {
    SQLHENV env = Environment();
    if (!env)
        return false;
    SQLCHAR desc[512];
    SQLCHAR attrs[2048];
    SQLSMALLINT descLen = 0, attrLen = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(
        SQLDrivers(env, direction, desc, sizeof desc, &descLen, attrs, sizeof attrs, &attrLen))) {
        if (EqualsNoCase(reinterpret_cast<const char*>(desc), name))
            return true;
        direction = SQL_FETCH_NEXT;
    }
    return false;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

struct Pool {
    std::mutex mutex;
    std::map<std::string, std::deque<OdbcConnectionPtr>> idle;
    bool reuse = true;
    ConnectionStats stats;
    // Servers that cannot reset a session: their connections are not kept at all.
    std::map<std::string, bool> resetRefused;
};

Pool& ThePool() {
    // The environment must outlive the idle connections: create it first, so it goes last.
    Environment();
    static Pool pool;
    return pool;
}

// The server puts the session back as it was right after login: SET options, temporary
// objects, open transactions and the current database (the one named at login, which is part
// of the idle set's key). Drivers that can flag the next request for reset do it without a
// round trip; FreeTDS cannot, so the reset procedure is called as an RPC, as pooled
// connections of the classic providers did. A connection whose reset fails is never used.
bool ResetSession(OdbcConnection& c) {
    {
        std::lock_guard lock(ThePool().mutex);
        ++ThePool().stats.resets;
    }
    SQLRETURN rc =
        SQLSetConnectAttrW(c.Dbc(), SQL_ATTR_RESET_CONNECTION,
                           reinterpret_cast<SQLPOINTER>(SQL_RESET_CONNECTION_YES), SQL_IS_UINTEGER);
    if (SQL_SUCCEEDED(rc))
        return true;
    SQLHANDLE h = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, c.Dbc(), &h)))
        return false;
    OdbcHandle stmt(SQL_HANDLE_STMT, h);
    static const std::u16string kReset = u"{call sp_reset_connection}";
    rc = SQLExecDirectW(stmt.Get(), const_cast<SQLWCHAR*>(W(kReset)), SQL_NTS);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
        return false;
    while (SQL_SUCCEEDED(SQLMoreResults(stmt.Get()))) {
    }
    SQLFreeStmt(stmt.Get(), SQL_CLOSE);
    return true;
}

OdbcConnectionPtr TakeIdle(const std::string& key) {
    Pool& p = ThePool();
    std::lock_guard lock(p.mutex);
    auto it = p.idle.find(key);
    if (it == p.idle.end())
        return nullptr;
    auto now = std::chrono::steady_clock::now();
    while (!it->second.empty()) {
        OdbcConnectionPtr c = std::move(it->second.back());
        it->second.pop_back();
        if (now - c->idleSince < kIdleLimit)
            return c;
    }
    return nullptr;
}

} // namespace

OdbcHandle::OdbcHandle(OdbcHandle&& other) noexcept : type_(other.type_), handle_(other.handle_) {
    other.handle_ = nullptr;
}

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept {
    if (this != &other) {
        Reset();
        type_ = other.type_;
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

void OdbcHandle::Reset() {
    if (handle_)
        SQLFreeHandle(type_, handle_);
    handle_ = nullptr;
}

std::vector<OdbcDiagnostic> ReadDiagnostics(short handleType, void* handle) {
    std::vector<OdbcDiagnostic> out;
    if (!handle)
        return out;
    for (SQLSMALLINT i = 1; i < 50; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR message[2048];
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, i, state, &native, message,
                                      sizeof message / sizeof message[0], &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        OdbcDiagnostic d;
        d.sqlState = Utf16ToUtf8(reinterpret_cast<const char16_t*>(state), 5);
        d.nativeError = native;
        size_t n = std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)),
                                    sizeof message / sizeof message[0] - 1);
        d.message = StripDriverPrefixes(Utf16ToUtf8(reinterpret_cast<const char16_t*>(message), n));
        out.push_back(std::move(d));
    }
    return out;
}

OdbcDriverChoice ResolveOdbcDriver() {
    std::string name = Trim(GetRegString(HKEY_CURRENT_USER, kKeyMav, "OdbcDriver", kFreeTdsName));
    if (name.empty())
        name = kFreeTdsName;
    OdbcDriverChoice choice;
    if (name.front() == '/') {
        choice.driverValue = OdbcBraced(name, false);
        choice.isFreeTds = ToLowerAscii(name).find("tdsodbc") != std::string::npos;
        return choice;
    }
    choice.isFreeTds = EqualsNoCase(name, kFreeTdsName);
    static std::map<std::string, bool> registered;
    static std::mutex mutex;
    bool known = false;
    {
        std::lock_guard lock(mutex);
        auto it = registered.find(name);
        if (it == registered.end())
            it = registered.emplace(name, DriverRegistered(name)).first;
        known = it->second;
    }
    if (choice.isFreeTds && !known && FileExists(kFreeTdsLibrary))
        choice.driverValue = OdbcBraced(kFreeTdsLibrary, false);
    else
        choice.driverValue = OdbcBraced(name, false);
    return choice;
}

OdbcConnection::~OdbcConnection() {
    if (dbc_)
        SQLDisconnect(dbc_.Get());
}

OdbcConnectionPtr AcquireConnection(const ServerEntry& server, const std::string& database,
                                    bool freshLogin, OdbcError& error) {
    const OdbcDriverChoice driver = ResolveOdbcDriver();
    if (std::string problem = ConnectionStringProblem(driver, server, database); !problem.empty()) {
        error = {kErrFail, problem, "", 0};
        return nullptr;
    }
    std::string section;
    if (driver.isFreeTds)
        PointFreeTdsAtPrivateSettings();
    ServerEntry checked = server;
    if (!server.CAFile.empty()) {
        std::string problem;
        // A certificate is only checked when TLS is spoken: with "request" a server (or someone
        // in between) offering none would be let in unchecked, so a CA file means "require".
        const std::string encryption = EncryptionSettingOf(server.Encryption);
        if (encryption == "off")
            problem = "A CA certificate file needs encryption: with encryption off the server's "
                      "certificate is never seen.";
        else if (!driver.isFreeTds)
            problem = "A CA certificate file can be used with the FreeTDS driver only.";
        else {
            checked.Encryption = "require";
            section = PrivateFreeTdsSection(checked, problem);
        }
        if (!problem.empty()) {
            error = {kErrFail, problem, "", 0};
            return nullptr;
        }
    }
    const std::string text8 = OdbcConnectionString(driver, checked, database, section);
    Pool& pool = ThePool();

    if (!freshLogin && ConnectionReuse()) {
        while (OdbcConnectionPtr c = TakeIdle(text8)) {
            if (c->sessionUntouched || ResetSession(*c)) {
                c->reused = true;
                c->sessionUntouched = true;
                std::lock_guard lock(pool.mutex);
                ++pool.stats.reuses;
                return c;
            }
            std::lock_guard lock(pool.mutex);
            pool.resetRefused[text8] = true;
        }
    }

    SQLHENV env = Environment();
    if (!env) {
        error = {kErrFail, "The ODBC driver manager could not be initialised.", "", 0};
        return nullptr;
    }
    SQLHANDLE h = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &h))) {
        error = MakeOdbcError(ReadDiagnostics(SQL_HANDLE_ENV, env), OdbcPhase::Connect,
                              "Cannot allocate an ODBC connection.");
        return nullptr;
    }
    OdbcHandle dbc(SQL_HANDLE_DBC, h);
    std::u16string text = Utf8ToUtf16(text8);
    SQLSMALLINT outLen = 0;
    SQLRETURN rc = SQLDriverConnectW(dbc.Get(), nullptr, const_cast<SQLWCHAR*>(W(text)),
                                     static_cast<SQLSMALLINT>(text.size()), nullptr, 0, &outLen,
                                     SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        error = MakeOdbcError(ReadDiagnostics(SQL_HANDLE_DBC, dbc.Get()), OdbcPhase::Connect,
                              "Cannot connect to the server.");
        // The driver gives no reason of its own when it turns down a server without TLS.
        if (!server.CAFile.empty())
            error.description += " The server's certificate must be signed by the CA in " +
                                 server.CAFile + " and made out to " +
                                 ParseServerName(server.Name).host +
                                 "; a server whose certificate is not is refused.";
        else if (EncryptionSettingOf(server.Encryption) == "require")
            error.description += " Encryption is required for this server: a server that "
                                 "offers none is refused.";
        return nullptr;
    }
    {
        std::lock_guard lock(pool.mutex);
        ++pool.stats.logins;
    }
    return std::make_unique<OdbcConnection>(std::move(dbc), text8);
}

void ReleaseConnection(OdbcConnectionPtr connection, bool reusable) {
    if (!connection)
        return;
    Pool& p = ThePool();
    std::lock_guard lock(p.mutex);
    if (!reusable || !p.reuse || p.resetRefused.count(connection->PoolKey()))
        return; // the destructor disconnects
    auto& idle = p.idle[connection->PoolKey()];
    if (idle.size() >= kMaxIdle)
        return;
    connection->idleSince = std::chrono::steady_clock::now();
    idle.push_back(std::move(connection));
}

void SetConnectionReuse(bool on) {
    {
        std::lock_guard lock(ThePool().mutex);
        ThePool().reuse = on;
    }
    if (!on)
        DropIdleConnections();
}

bool ConnectionReuse() {
    std::lock_guard lock(ThePool().mutex);
    return ThePool().reuse;
}

void DropIdleConnections() {
    std::map<std::string, std::deque<OdbcConnectionPtr>> dropped;
    {
        std::lock_guard lock(ThePool().mutex);
        dropped.swap(ThePool().idle);
    }
}

ConnectionStats GetConnectionStats() {
    std::lock_guard lock(ThePool().mutex);
    return ThePool().stats;
}

} // namespace orv
