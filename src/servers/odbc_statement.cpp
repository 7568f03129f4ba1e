#include "servers/odbc_statement.h"

#include "servers/odbc_text.h"

#include <sql.h>
#include <sqlext.h>

#include <cstdio>

namespace orv {

namespace {

std::string FormatTimestamp(const SQL_TIMESTAMP_STRUCT& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u.%03u", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, static_cast<unsigned>(t.fraction / 1000000u));
    return buf;
}

bool ParseTimestamp(const std::string& text, SQL_TIMESTAMP_STRUCT& t) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d.%d", &y, &mo, &d, &h, &mi, &s, &ms) < 3)
        return false;
    t = {};
    t.year = static_cast<SQLSMALLINT>(y);
    t.month = static_cast<SQLUSMALLINT>(mo);
    t.day = static_cast<SQLUSMALLINT>(d);
    t.hour = static_cast<SQLUSMALLINT>(h);
    t.minute = static_cast<SQLUSMALLINT>(mi);
    t.second = static_cast<SQLUSMALLINT>(s);
    t.fraction = static_cast<SQLUINTEGER>(ms) * 1000000u;
    return true;
}

SQLSMALLINT OdbcDirection(int32_t adoDirection) {
    switch (adoDirection) {
    case kAdParamOutput:
        return SQL_PARAM_OUTPUT;
    case kAdParamInputOutput:
        return SQL_PARAM_INPUT_OUTPUT;
    default:
        return SQL_PARAM_INPUT;
    }
}

} // namespace

// The buffers one bound parameter lives in until the command is done.
struct OdbcStatement::Bound {
    size_t parameterIndex = 0;
    std::u16string text;
    SQLINTEGER integer = 0;
    double real = 0;
    unsigned char bit = 0;
    SQL_TIMESTAMP_STRUCT timestamp{};
    SQLLEN indicator = 0;
};

std::unique_ptr<OdbcStatement> NewStatement(OdbcConnection& connection, OdbcError& error) {
    SQLHANDLE h = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection.Dbc(), &h))) {
        error = MakeOdbcError(ReadDiagnostics(SQL_HANDLE_DBC, connection.Dbc()), OdbcPhase::Execute,
                              "Cannot create a command on the connection.");
        return nullptr;
    }
    return std::make_unique<OdbcStatement>(connection, OdbcHandle(SQL_HANDLE_STMT, h));
}

OdbcStatement::OdbcStatement(OdbcConnection& connection, OdbcHandle stmt)
    : connection_(connection), stmt_(std::move(stmt)) {}

OdbcStatement::~OdbcStatement() {
    if (stmt_)
        SQLFreeStmt(stmt_.Get(), SQL_CLOSE);
}

void OdbcStatement::Cancel() {
    if (stmt_)
        SQLCancel(stmt_.Get());
}

OdbcError OdbcStatement::StatementError(const std::string& fallback) {
    return MakeOdbcError(ReadDiagnostics(SQL_HANDLE_STMT, stmt_.Get()), OdbcPhase::Execute,
                         fallback);
}

bool OdbcStatement::Execute(const std::string& sql, int32_t timeoutSeconds, Command& command,
                            OdbcError& error) {
    SQLHSTMT st = stmt_.Get();
    SQLSetStmtAttr(
        st, SQL_ATTR_QUERY_TIMEOUT,
        reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeoutSeconds > 0 ? timeoutSeconds : 0)),
        SQL_IS_UINTEGER);

    SQLUSMALLINT number = 0;
    for (size_t i = 0; i < command.parameters.size(); ++i) {
        const CommandParameter& p = command.parameters[i];
        if (p.direction == kAdParamReturnValue)
            continue;
        auto b = std::make_unique<Bound>();
        b->parameterIndex = i;
        const bool isNull = p.value.IsNull();
        b->indicator = isNull ? SQL_NULL_DATA : 0;
        SQLSMALLINT cType = SQL_C_WCHAR, sqlType = SQL_WVARCHAR;
        SQLULEN columnSize = 0;
        SQLPOINTER buffer = nullptr;
        SQLLEN bufferLength = 0;
        switch (p.adoType) {
        case kAdVarWChar:
            b->text = Utf8ToUtf16(p.value.text);
            if (b->text.size() < static_cast<size_t>(p.size))
                b->text.resize(static_cast<size_t>(p.size), u'\0');
            b->text.push_back(u'\0');
            if (!isNull)
                b->indicator = static_cast<SQLLEN>(Utf8ToUtf16(p.value.text).size() * 2);
            columnSize = static_cast<SQLULEN>(p.size > 0 ? p.size : 1);
            buffer = b->text.data();
            bufferLength = static_cast<SQLLEN>(b->text.size() * 2);
            break;
        case kAdInteger:
            cType = SQL_C_SLONG;
            sqlType = SQL_INTEGER;
            b->integer = static_cast<SQLINTEGER>(p.value.integer);
            buffer = &b->integer;
            break;
        case kAdDouble:
            cType = SQL_C_DOUBLE;
            sqlType = SQL_DOUBLE;
            b->real = p.value.real;
            buffer = &b->real;
            break;
        case kAdBoolean:
            cType = SQL_C_BIT;
            sqlType = SQL_BIT;
            b->bit = p.value.integer ? 1 : 0;
            buffer = &b->bit;
            break;
        default: // kAdDate
            cType = SQL_C_TYPE_TIMESTAMP;
            sqlType = SQL_TYPE_TIMESTAMP;
            columnSize = 23;
            if (!isNull && !ParseTimestamp(p.value.text, b->timestamp))
                b->indicator = SQL_NULL_DATA;
            buffer = &b->timestamp;
            break;
        }
        SQLRETURN rc = SQLBindParameter(st, ++number, OdbcDirection(p.direction), cType, sqlType,
                                        columnSize, sqlType == SQL_TYPE_TIMESTAMP ? 3 : 0, buffer,
                                        bufferLength, &b->indicator);
        if (!SQL_SUCCEEDED(rc)) {
            error = StatementError("Cannot bind parameter " + p.name + ".");
            return false;
        }
        bound_.push_back(std::move(b));
    }

    std::u16string text = Utf8ToUtf16(sql);
    SQLRETURN rc = SQLExecDirectW(st, reinterpret_cast<SQLWCHAR*>(text.data()),
                                  static_cast<SQLINTEGER>(text.size()));
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
        error = StatementError("The command failed.");
        return false;
    }
    // The first result that has columns is the record set; row counts before it are skipped.
    for (;;) {
        SQLSMALLINT columns = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(st, &columns))) {
            error = StatementError("The command failed.");
            return false;
        }
        if (columns > 0)
            return Describe(error);
        rc = SQLMoreResults(st);
        if (rc == SQL_NO_DATA)
            return true;
        if (!SQL_SUCCEEDED(rc)) {
            error = StatementError("The command failed.");
            return false;
        }
    }
}

bool OdbcStatement::NextResult(OdbcError& error) {
    error = {};
    SQLHSTMT st = stmt_.Get();
    fields_.clear();
    for (;;) {
        const SQLRETURN rc = SQLMoreResults(st);
        if (rc == SQL_NO_DATA)
            return false;
        if (!SQL_SUCCEEDED(rc)) {
            error = StatementError("The command failed.");
            return false;
        }
        SQLSMALLINT columns = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(st, &columns))) {
            error = StatementError("The command failed.");
            return false;
        }
        // Row counts between the queries are no results of their own.
        if (columns > 0)
            return Describe(error);
    }
}

bool OdbcStatement::Describe(OdbcError& error) {
    SQLHSTMT st = stmt_.Get();
    SQLSMALLINT columns = 0;
    SQLNumResultCols(st, &columns);
    fields_.clear();
    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
        SQLWCHAR name[512];
        SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        if (!SQL_SUCCEEDED(SQLDescribeColW(st, c, name, sizeof name / sizeof name[0], &nameLen,
                                           &type, &size, &digits, &nullable))) {
            error = StatementError("Cannot read the result's columns.");
            return false;
        }
        FieldInfo f;
        size_t n = std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(nameLen, 0)),
                                    sizeof name / sizeof name[0] - 1);
        f.name = Utf16ToUtf8(reinterpret_cast<const char16_t*>(name), n);
        f.sqlType = type;
        f.size = static_cast<int64_t>(size);
        fields_.push_back(std::move(f));
    }
    return true;
}

bool OdbcStatement::Fetch(int64_t maxRows, std::vector<std::vector<FieldValue>>& rows, bool& done,
                          OdbcError& error) {
    done = false;
    SQLHSTMT st = stmt_.Get();
    const auto stopped = [&] {
        error = {kErrFail, "Operation cancelled.", "HY008", 0};
        return false;
    };
    for (int64_t n = 0; maxRows <= 0 || n < maxRows; ++n) {
        if (gate_ && !gate_->Enter())
            return stopped();
        SQLRETURN rc = SQLFetch(st);
        if (gate_ && !gate_->Leave())
            return stopped();
        if (rc == SQL_NO_DATA) {
            done = true;
            // The rest of the batch (row counts, further results) is read so that output
            // parameters arrive and the connection is free for the next command.
            if (!keepFurther_) {
                if (gate_ && !gate_->Enter())
                    return stopped();
                while (SQL_SUCCEEDED(SQLMoreResults(st))) {
                }
                if (gate_ && !gate_->Leave())
                    return stopped();
            }
            return true;
        }
        if (!SQL_SUCCEEDED(rc)) {
            error = StatementError("Cannot read the next row.");
            return false;
        }
        std::vector<FieldValue> row;
        if (!ReadRow(row, error))
            return false;
        rows.push_back(std::move(row));
    }
    return true;
}

bool OdbcStatement::ReadRow(std::vector<FieldValue>& row, OdbcError& error) {
    SQLHSTMT st = stmt_.Get();
    row.clear();
    row.reserve(fields_.size());
    for (size_t i = 0; i < fields_.size(); ++i) {
        const auto col = static_cast<SQLUSMALLINT>(i + 1);
        SQLLEN ind = 0;
        SQLRETURN rc = SQL_SUCCESS;
        FieldValue v;
        switch (fields_[i].sqlType) {
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT: {
            SQLBIGINT x = 0;
            rc = SQLGetData(st, col, SQL_C_SBIGINT, &x, sizeof x, &ind);
            v = FieldValue::Int(x);
            break;
        }
        case SQL_BIT: {
            unsigned char x = 0;
            rc = SQLGetData(st, col, SQL_C_BIT, &x, sizeof x, &ind);
            v = FieldValue::Boolean(x != 0);
            break;
        }
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE: {
            double x = 0;
            rc = SQLGetData(st, col, SQL_C_DOUBLE, &x, sizeof x, &ind);
            v = FieldValue::Real(x);
            break;
        }
        case SQL_DECIMAL:
        case SQL_NUMERIC: {
            char buf[128] = {};
            rc = SQLGetData(st, col, SQL_C_CHAR, buf, sizeof buf, &ind);
            v = FieldValue::Dec(buf);
            break;
        }
        case SQL_TYPE_TIMESTAMP:
        case SQL_TYPE_DATE:
        case SQL_DATETIME: {
            SQL_TIMESTAMP_STRUCT t{};
            rc = SQLGetData(st, col, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &ind);
            v = FieldValue::Date(FormatTimestamp(t));
            break;
        }
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY: {
            std::string bytes;
            char buf[8192];
            for (;;) {
                rc = SQLGetData(st, col, SQL_C_BINARY, buf, sizeof buf, &ind);
                if (rc == SQL_NO_DATA || !SQL_SUCCEEDED(rc) || ind == SQL_NULL_DATA)
                    break;
                const bool more = rc == SQL_SUCCESS_WITH_INFO &&
                                  (ind == SQL_NO_TOTAL || ind > static_cast<SQLLEN>(sizeof buf));
                bytes.append(buf, more ? sizeof buf : static_cast<size_t>(ind));
                if (!more)
                    break;
            }
            if (rc == SQL_NO_DATA)
                rc = SQL_SUCCESS;
            v = FieldValue::Bytes(std::move(bytes));
            break;
        }
        default: {
            // Text of every kind (and anything unusual, such as time or GUID) comes as UTF-16,
            // so characters outside the client's code page survive.
            std::u16string text;
            char16_t buf[4096];
            constexpr SQLLEN kBytes = sizeof buf;
            for (;;) {
                rc = SQLGetData(st, col, SQL_C_WCHAR, buf, kBytes, &ind);
                if (rc == SQL_NO_DATA || !SQL_SUCCEEDED(rc) || ind == SQL_NULL_DATA)
                    break;
                const bool more =
                    rc == SQL_SUCCESS_WITH_INFO && (ind == SQL_NO_TOTAL || ind >= kBytes - 1);
                size_t chars = more ? (kBytes / 2 - 1) : static_cast<size_t>(ind) / 2;
                text.append(buf, chars);
                if (!more)
                    break;
            }
            if (rc == SQL_NO_DATA)
                rc = SQL_SUCCESS;
            v = FieldValue::Str(Utf16ToUtf8(text.data(), text.size()));
            break;
        }
        }
        if (!SQL_SUCCEEDED(rc)) {
            error = StatementError("Cannot read column " + fields_[i].name + ".");
            return false;
        }
        row.push_back(ind == SQL_NULL_DATA ? FieldValue::Null() : std::move(v));
    }
    return true;
}

void OdbcStatement::ReadOutputParameters(Command& command) {
    for (const auto& b : bound_) {
        CommandParameter& p = command.parameters[b->parameterIndex];
        if (p.direction != kAdParamInputOutput && p.direction != kAdParamOutput)
            continue;
        if (b->indicator == SQL_NULL_DATA) {
            p.value = FieldValue::Null();
            continue;
        }
        switch (p.adoType) {
        case kAdVarWChar: {
            size_t chars = std::min(static_cast<size_t>(b->indicator) / 2, b->text.size());
            p.value = FieldValue::Str(Utf16ToUtf8(b->text.data(), chars));
            break;
        }
        case kAdInteger:
            p.value = FieldValue::Int(b->integer);
            break;
        case kAdDouble:
            p.value = FieldValue::Real(b->real);
            break;
        case kAdBoolean:
            p.value = FieldValue::Boolean(b->bit != 0);
            break;
        default:
            p.value = FieldValue::Date(FormatTimestamp(b->timestamp));
            break;
        }
    }
}

} // namespace orv
