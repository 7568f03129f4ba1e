#include "dbcompare/data_sync_script.h"

#include "catalog/sql_quote.h"
#include "dbcompare/data_table_info.h"
#include "dbcompare/data_values.h"
#include "util/text.h"

#include <cstdio>

namespace orv {

namespace {

std::string BaseType(const std::string& type) {
    return ToLowerAscii(type.substr(0, type.find('(')));
}

// N'...' with quotes doubled; a NUL cannot sit inside a literal in every tool, so it is
// joined in as NCHAR(0).
std::string UnicodeLiteral(std::string_view text) {
    std::string out = "N'";
    for (char c : text) {
        if (c == '\0') {
            out += "' + NCHAR(0) + N'";
            continue;
        }
        if (c == '\'')
            out += '\'';
        out += c;
    }
    return out + "'";
}

std::string TargetName(const DataTableResult& pair) {
    return QuotedTableName(pair.Schema[1], pair.Name[1]);
}

std::string KeyWhere(const DataTableResult& pair, const DataRowDiff& row) {
    std::string where;
    for (size_t i = 0; i < pair.KeyColumns.size() && i < row.Key.size(); ++i) {
        const std::string& type = i < pair.KeyTypes.size() ? pair.KeyTypes[i].TargetType : "";
        where += (i ? " AND " : "") + QuoteCatalogName(pair.KeyColumns[i]) +
                 (row.Key[i].IsNull() ? " IS NULL" : " = " + TypedSqlLiteral(row.Key[i], type));
    }
    return where;
}

std::string KeyText(const DataTableResult& pair, const DataRowDiff& row) {
    std::string out;
    for (size_t i = 0; i < row.Key.size(); ++i) {
        const std::string& type = i < pair.KeyTypes.size() ? pair.KeyTypes[i].SourceType : "";
        out += (i ? ", " : "") + TypedSqlLiteral(row.Key[i], type);
    }
    return out;
}

// A comment line never ends early: line breaks in the text become blanks.
std::string CommentText(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

} // namespace

std::string TypedSqlLiteral(const FieldValue& value, const std::string& type) {
    if (value.IsNull())
        return "NULL";
    const std::string base = BaseType(type);
    const TypeFamily family = FamilyOfType(base);
    switch (value.kind) {
    case FieldValue::Kind::Integer:
    case FieldValue::Kind::Bool:
        if (family == TypeFamily::Character)
            return UnicodeLiteral(std::to_string(value.integer));
        return std::to_string(value.integer);
    case FieldValue::Kind::Decimal: {
        const std::string digits = CanonicalDecimal(value.text);
        if (digits.empty() || family == TypeFamily::Character)
            return UnicodeLiteral(value.text);
        return digits;
    }
    case FieldValue::Kind::Float: {
        // Seventeen significant digits in exponent form: a float literal that reads back as
        // the very same double.
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.16e", value.real == 0.0 ? 0.0 : value.real);
        if (family == TypeFamily::Character)
            return UnicodeLiteral(buf);
        return buf;
    }
    case FieldValue::Kind::DateTime: {
        // ISO 8601 with a T reads the same under every language and date format.
        std::string text = value.text;
        if (text.size() > 10 && text[10] == ' ')
            text[10] = 'T';
        return "'" + text + "'";
    }
    case FieldValue::Kind::Binary: {
        static const char* const kHex = "0123456789ABCDEF";
        std::string out = "0x";
        for (unsigned char c : value.text) {
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
        return out;
    }
    case FieldValue::Kind::Text:
    case FieldValue::Kind::Null:
        break;
    }
    if (family == TypeFamily::Integer || family == TypeFamily::Exact) {
        const std::string digits = CanonicalDecimal(value.text);
        if (!digits.empty())
            return digits;
    }
    return UnicodeLiteral(value.text);
}

void SyncScriptWriter::BeginPair(const DataTableResult&) {
    deletes_.clear();
    updates_.clear();
    inserts_.clear();
    notes_.clear();
}

void SyncScriptWriter::Row(const DataTableResult& pair, const DataRowDiff& row) {
    const std::string table = TargetName(pair);
    switch (row.Status) {
    case RowStatus::OnlyInTarget:
        deletes_ += "DELETE FROM " + table + " WHERE " + KeyWhere(pair, row) + ";\r\n";
        ++statements_;
        break;
    case RowStatus::Different: {
        std::string set;
        for (size_t c = 0; c < row.Cells.size() && c < pair.Compared.size(); ++c) {
            if (!row.Cells[c].Differs)
                continue;
            const DataColumn& column = pair.Compared[c];
            if (!pair.TargetIdentity.empty() && EqualsNoCase(column.Name, pair.TargetIdentity)) {
                notes_ += "-- " + CommentText(QuoteCatalogName(column.Name)) +
                          " is an identity column and cannot be updated (key " +
                          CommentText(KeyText(pair, row)) + ")\r\n";
                continue;
            }
            set += (set.empty() ? "" : ", ") + QuoteCatalogName(column.Name) + " = " +
                   TypedSqlLiteral(row.Cells[c].Source, column.TargetType);
        }
        if (set.empty())
            break;
        updates_ += "UPDATE " + table + " SET " + set + " WHERE " + KeyWhere(pair, row) + ";\r\n";
        ++statements_;
        break;
    }
    case RowStatus::OnlyInSource: {
        std::string columns, values;
        for (size_t i = 0; i < pair.KeyColumns.size() && i < row.Key.size(); ++i) {
            columns += (i ? ", " : "") + QuoteCatalogName(pair.KeyColumns[i]);
            values +=
                (i ? ", " : "") + TypedSqlLiteral(row.Key[i], i < pair.KeyTypes.size()
                                                                  ? pair.KeyTypes[i].TargetType
                                                                  : std::string());
        }
        for (size_t c = 0; c < row.Cells.size() && c < pair.Compared.size(); ++c) {
            columns += ", " + QuoteCatalogName(pair.Compared[c].Name);
            values += ", " + TypedSqlLiteral(row.Cells[c].Source, pair.Compared[c].TargetType);
        }
        inserts_ += "INSERT INTO " + table + " (" + columns + ") VALUES (" + values + ");\r\n";
        ++statements_;
        break;
    }
    case RowStatus::Conflict:
        notes_ += "-- not synchronised: the key (" + CommentText(KeyText(pair, row)) + ") occurs " +
                  std::to_string(row.Copies[0]) + " time(s) in the source and " +
                  std::to_string(row.Copies[1]) + " time(s) in the target\r\n";
        break;
    }
}

void SyncScriptWriter::EndPair(const DataTableResult& pair) {
    if (deletes_.empty() && updates_.empty() && inserts_.empty() && notes_.empty())
        return;
    const std::string table = TargetName(pair);
    body_ += "\r\n-- " + CommentText(table) + "\r\n";
    if (pair.Incomplete)
        body_ += "-- the comparison of this table did not finish: rows are missing here\r\n";
    if (!pair.SourceOnlyColumns.empty() || !pair.IgnoredColumns.empty())
        body_ += "-- columns only in the source and ignored columns are left as they are\r\n";
    body_ += notes_ + deletes_ + updates_;
    if (!inserts_.empty()) {
        // Only when the inserts name the identity column: otherwise the server numbers the
        // rows itself and IDENTITY_INSERT would make it refuse them.
        bool identity = false;
        for (const std::string& k : pair.KeyColumns)
            identity = identity || EqualsNoCase(k, pair.TargetIdentity);
        for (const DataColumn& c : pair.Compared)
            identity = identity || EqualsNoCase(c.Name, pair.TargetIdentity);
        identity = identity && !pair.TargetIdentity.empty();
        if (identity)
            body_ += "SET IDENTITY_INSERT " + table + " ON;\r\n";
        body_ += inserts_;
        if (identity)
            body_ += "SET IDENTITY_INSERT " + table + " OFF;\r\n";
    }
    deletes_.clear();
    updates_.clear();
    inserts_.clear();
    notes_.clear();
}

std::string SyncScriptWriter::Script() const {
    return "-- Makes the target tables hold the same rows as the source tables.\r\n"
           "-- Review it before running it: nothing here has been run.\r\n"
           "SET XACT_ABORT ON;\r\nBEGIN TRANSACTION;\r\n" +
           body_ + "\r\nCOMMIT TRANSACTION;\r\n";
}

bool ResultsHoldEveryRow(const DataTableResult& pair) {
    return !pair.RowsCut && !pair.Incomplete;
}

std::string SyncScriptFromResults(const DataCompareResults& results,
                                  const std::vector<size_t>& tables) {
    SyncScriptWriter writer;
    for (size_t i : tables) {
        if (i >= results.Tables.size())
            continue;
        const DataTableResult& pair = results.Tables[i];
        if (pair.Status != DataPairStatus::Different)
            continue;
        writer.BeginPair(pair);
        for (const DataRowDiff& row : pair.Rows)
            writer.Row(pair, row);
        writer.EndPair(pair);
    }
    return writer.Script();
}

bool CompareForSyncScript(const DataCompareRequest& request, ProgressSink& progress,
                          const CancelToken& cancel, std::string& script, std::string& error) {
    script.clear();
    error.clear();
    SyncScriptWriter writer;
    DataCompareRequest run = request;
    run.RowSink = &writer;
    run.RowKeepLimit = 0; // every row goes to the writer; none is kept
    DataCompareResultsPtr results = RunDataCompare(run, progress, cancel);
    if (!results->Complete()) {
        error = results->Problem;
        return false;
    }
    script = writer.Script();
    return true;
}

} // namespace orv
