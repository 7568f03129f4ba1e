// A small ODBC client for the end-to-end tests. The driver manager is loaded at run time so
// the test program needs nothing at link time beyond the C library.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <dlfcn.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sqlsim::e2e {

class OdbcApi {
public:
    static const OdbcApi& get() {
        static OdbcApi api;
        return api;
    }

#define SQLSIM_ODBC_FN(name) decltype(&::name) name = nullptr;
    SQLSIM_ODBC_FN(SQLAllocHandle)
    SQLSIM_ODBC_FN(SQLFreeHandle)
    SQLSIM_ODBC_FN(SQLSetEnvAttr)
    SQLSIM_ODBC_FN(SQLDriverConnect)
    SQLSIM_ODBC_FN(SQLDisconnect)
    SQLSIM_ODBC_FN(SQLExecDirect)
    SQLSIM_ODBC_FN(SQLPrepare)
    SQLSIM_ODBC_FN(SQLExecute)
    SQLSIM_ODBC_FN(SQLFetch)
    SQLSIM_ODBC_FN(SQLGetData)
    SQLSIM_ODBC_FN(SQLNumResultCols)
    SQLSIM_ODBC_FN(SQLDescribeCol)
    SQLSIM_ODBC_FN(SQLColAttribute)
    SQLSIM_ODBC_FN(SQLMoreResults)
    SQLSIM_ODBC_FN(SQLRowCount)
    SQLSIM_ODBC_FN(SQLSetStmtAttr)
    SQLSIM_ODBC_FN(SQLGetDiagRec)
    SQLSIM_ODBC_FN(SQLBindParameter)
    SQLSIM_ODBC_FN(SQLCloseCursor)
    SQLSIM_ODBC_FN(SQLSetConnectAttr)
#undef SQLSIM_ODBC_FN

private:
    OdbcApi() {
        lib_ = ::dlopen("libodbc.so.2", RTLD_NOW);
        if (!lib_)
            throw std::runtime_error("cannot load libodbc.so.2");
        auto load = [this](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(::dlsym(lib_, name));
            if (!fn)
                throw std::runtime_error(std::string("missing ") + name);
        };
#define SQLSIM_ODBC_LOAD(name) load(name, #name);
        SQLSIM_ODBC_LOAD(SQLAllocHandle)
        SQLSIM_ODBC_LOAD(SQLFreeHandle)
        SQLSIM_ODBC_LOAD(SQLSetEnvAttr)
        SQLSIM_ODBC_LOAD(SQLDriverConnect)
        SQLSIM_ODBC_LOAD(SQLDisconnect)
        SQLSIM_ODBC_LOAD(SQLExecDirect)
        SQLSIM_ODBC_LOAD(SQLPrepare)
        SQLSIM_ODBC_LOAD(SQLExecute)
        SQLSIM_ODBC_LOAD(SQLFetch)
        SQLSIM_ODBC_LOAD(SQLGetData)
        SQLSIM_ODBC_LOAD(SQLNumResultCols)
        SQLSIM_ODBC_LOAD(SQLDescribeCol)
        SQLSIM_ODBC_LOAD(SQLColAttribute)
        SQLSIM_ODBC_LOAD(SQLMoreResults)
        SQLSIM_ODBC_LOAD(SQLRowCount)
        SQLSIM_ODBC_LOAD(SQLSetStmtAttr)
        SQLSIM_ODBC_LOAD(SQLGetDiagRec)
        SQLSIM_ODBC_LOAD(SQLBindParameter)
        SQLSIM_ODBC_LOAD(SQLCloseCursor)
        SQLSIM_ODBC_LOAD(SQLSetConnectAttr)
#undef SQLSIM_ODBC_LOAD
    }
    void* lib_ = nullptr;
};

struct OdbcError {
    std::string state;
    int native = 0;
    std::string text;
};

// One connection with one statement handle; values come back as UTF-8 text.
class OdbcConnection {
public:
    OdbcConnection() : api_(OdbcApi::get()) {
        api_.SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        api_.SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                           0);
        api_.SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    }
    ~OdbcConnection() {
        if (stmt_)
            api_.SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        if (connected_)
            api_.SQLDisconnect(dbc_);
        api_.SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        api_.SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    static std::string connectionString(int port, const std::string& tdsVersion,
                                        const std::string& user, const std::string& password,
                                        const std::string& database = "") {
        std::string s = "Driver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so;Server=127.0.0.1;"
                        "Port=" +
                        std::to_string(port) + ";TDS_Version=" + tdsVersion +
                        ";ClientCharset=UTF-8;UID=" + user + ";PWD=" + password + ";";
        if (!database.empty())
            s += "Database=" + database + ";";
        return s;
    }

    bool connect(const std::string& connStr) {
        SQLCHAR out[1024];
        SQLSMALLINT outLen = 0;
        SQLRETURN rc = api_.SQLDriverConnect(
            dbc_, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(connStr.c_str())), SQL_NTS,
            out, sizeof out, &outLen, SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(rc)) {
            collect(SQL_HANDLE_DBC, dbc_);
            return false;
        }
        connected_ = true;
        api_.SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_);
        return true;
    }

    // Asks the driver to reset the session with the next request; false if it cannot.
    bool requestReset() {
        return SQL_SUCCEEDED(api_.SQLSetConnectAttr(
            dbc_, SQL_ATTR_RESET_CONNECTION, reinterpret_cast<SQLPOINTER>(SQL_RESET_CONNECTION_YES),
            SQL_IS_UINTEGER));
    }

    void setQueryTimeout(SQLULEN seconds) {
        api_.SQLSetStmtAttr(stmt_, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(seconds),
                            0);
    }

    using Row = std::vector<std::optional<std::string>>;

    // Runs `sql` and reads the first result set. Returns false on error (see errors()).
    bool query(const std::string& sql, std::vector<Row>& rows) {
        rows.clear();
        errors_.clear();
        api_.SQLCloseCursor(stmt_);
        SQLRETURN rc = api_.SQLExecDirect(
            stmt_, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            collect(SQL_HANDLE_STMT, stmt_);
            return false;
        }
        return fetchAll(rows);
    }

    // Runs `sql` with one bound text parameter (sent as an RPC by the driver).
    bool queryWithParam(const std::string& sql, const std::string& param, std::vector<Row>& rows) {
        rows.clear();
        errors_.clear();
        api_.SQLCloseCursor(stmt_);
        SQLLEN len = static_cast<SQLLEN>(param.size());
        api_.SQLBindParameter(stmt_, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 50, 0,
                              const_cast<char*>(param.c_str()), len, &len);
        SQLRETURN rc = api_.SQLExecDirect(
            stmt_, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            collect(SQL_HANDLE_STMT, stmt_);
            return false;
        }
        return fetchAll(rows);
    }

    // Fetches every row of the current result counting them without keeping them.
    bool countRows(const std::string& sql, long long& count) {
        errors_.clear();
        api_.SQLCloseCursor(stmt_);
        count = 0;
        SQLRETURN rc = api_.SQLExecDirect(
            stmt_, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
        if (!SQL_SUCCEEDED(rc)) {
            collect(SQL_HANDLE_STMT, stmt_);
            return false;
        }
        while (true) {
            rc = api_.SQLFetch(stmt_);
            if (rc == SQL_NO_DATA)
                return true;
            if (!SQL_SUCCEEDED(rc)) {
                collect(SQL_HANDLE_STMT, stmt_);
                return false;
            }
            ++count;
        }
    }

    struct ColumnDesc {
        std::string name;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
    };
    std::vector<ColumnDesc> columns() const { return columns_; }
    const std::vector<OdbcError>& errors() const { return errors_; }
    std::string errorText() const {
        std::string s;
        for (const auto& e : errors_)
            s += e.state + " " + std::to_string(e.native) + " " + e.text + "\n";
        return s;
    }
    bool hasNative(int native) const {
        for (const auto& e : errors_)
            if (e.native == native)
                return true;
        return false;
    }

private:
    bool fetchAll(std::vector<Row>& rows) {
        SQLSMALLINT ncols = 0;
        api_.SQLNumResultCols(stmt_, &ncols);
        columns_.clear();
        for (SQLSMALLINT c = 1; c <= ncols; ++c) {
            SQLCHAR name[256];
            SQLSMALLINT nameLen = 0;
            ColumnDesc d;
            api_.SQLDescribeCol(stmt_, c, name, sizeof name, &nameLen, &d.type, &d.size, &d.digits,
                                &d.nullable);
            d.name = reinterpret_cast<char*>(name);
            columns_.push_back(d);
        }
        while (ncols > 0) {
            SQLRETURN rc = api_.SQLFetch(stmt_);
            if (rc == SQL_NO_DATA)
                break;
            if (!SQL_SUCCEEDED(rc)) {
                collect(SQL_HANDLE_STMT, stmt_);
                return false;
            }
            Row row;
            for (SQLSMALLINT c = 1; c <= ncols; ++c) {
                std::string value;
                bool isNull = false;
                char buf[4096];
                while (true) {
                    SQLLEN ind = 0;
                    rc = api_.SQLGetData(stmt_, c, SQL_C_CHAR, buf, sizeof buf, &ind);
                    if (rc == SQL_NO_DATA)
                        break;
                    if (!SQL_SUCCEEDED(rc)) {
                        collect(SQL_HANDLE_STMT, stmt_);
                        return false;
                    }
                    if (ind == SQL_NULL_DATA) {
                        isNull = true;
                        break;
                    }
                    size_t got = (ind == SQL_NO_TOTAL || ind >= static_cast<SQLLEN>(sizeof buf))
                                     ? sizeof buf - 1
                                     : static_cast<size_t>(ind);
                    value.append(buf, got);
                    if (rc == SQL_SUCCESS)
                        break;
                }
                row.push_back(isNull ? std::nullopt : std::optional<std::string>(value));
            }
            rows.push_back(std::move(row));
        }
        return true;
    }

    void collect(SQLSMALLINT type, SQLHANDLE h) {
        for (SQLSMALLINT i = 1;; ++i) {
            SQLCHAR state[6];
            SQLINTEGER native = 0;
            SQLCHAR text[1024];
            SQLSMALLINT len = 0;
            if (!SQL_SUCCEEDED(
                    api_.SQLGetDiagRec(type, h, i, state, &native, text, sizeof text, &len)))
                break;
            errors_.push_back({reinterpret_cast<char*>(state), static_cast<int>(native),
                               reinterpret_cast<char*>(text)});
        }
    }

    const OdbcApi& api_;
    SQLHENV env_ = nullptr;
    SQLHDBC dbc_ = nullptr;
    SQLHSTMT stmt_ = nullptr;
    bool connected_ = false;
    std::vector<OdbcError> errors_;
    std::vector<ColumnDesc> columns_;
};

} // namespace sqlsim::e2e
