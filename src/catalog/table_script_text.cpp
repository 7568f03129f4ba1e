#include "catalog/table_script.h"

#include "util/text.h"

#include <array>

namespace orv {

bool IsSizedType(const std::string& typeName) {
    static const std::array<const char*, 6> kSized{"nvarchar", "varchar", "binary",
                                                   "char",     "nchar",   "varbinary"};
    const std::string lower = ToLowerAscii(typeName);
    for (const char* t : kSized)
        if (lower == t)
            return true;
    return false;
}

bool IsScaledType(const std::string& typeName) {
    const std::string lower = ToLowerAscii(typeName);
    return lower == "decimal" || lower == "numeric";
}

std::string BuildColumnLine(const Recordset& row, const std::string& lineSuffix, ColumnInfo& info,
                            BracketedNames names) {
    info.ColumnName = row.Value("column").Text();
    info.DataType = row.Value("datatype").Text();
    const std::string prec = row.Value("prec").Text();
    const std::string scale = row.Value("scale").Text();

    auto inBrackets = [names](const std::string& name) {
        return names == BracketedNames::Executable ? ReplaceAll(name, "]", "]]") : name;
    };
    std::string line = "[" + inBrackets(info.ColumnName) + "] [" + inBrackets(info.DataType) + "] ";
    if (IsSizedType(info.DataType)) {
        // The catalog gives a max type the length -1; the type is written (max).
        const std::string size = prec == "-1" ? "max" : prec;
        info.Precision = prec;
        info.TypeText = info.DataType + " (" + size + ")";
        line += "(" + size + ") ";
    } else if (IsScaledType(info.DataType)) {
        info.Precision = prec;
        info.TypeText = info.DataType + " (" + prec + "," + scale + ") ";
        line.pop_back();
        line += "(" + prec + "," + scale + ") ";
    } else {
        info.Precision.clear();
        info.TypeText = info.DataType;
    }
    if (row.Value("isID").Text() == "Y") {
        const FieldValue& seed = row.Value("identityseed");
        if (seed.IsNull())
            line += "IDENTITY ";
        else
            line += "IDENTITY(" + seed.Text() + "," + row.Value("identityincrement").Text() + ") ";
    }
    if (row.Value("isnullable").Long() == 0)
        line += "NOT ";
    line += "NULL";
    line += lineSuffix;
    return line;
}

void BuildColumnLines(Recordset& rows, const std::vector<std::string>& ignored,
                      const std::string& lineSuffix, std::string& text,
                      std::vector<ColumnInfo>& columns, BracketedNames names) {
    for (; !rows.IsEOF(); rows.MoveNext()) {
        if (!ignored.empty() && IsColumnIgnored(ignored, rows.Value("column").Text()))
            continue;
        ColumnInfo info;
        text += BuildColumnLine(rows, lineSuffix, info, names) + "\r\n";
        columns.push_back(std::move(info));
    }
    if (!text.empty())
        text = Trim(text.substr(0, text.size() - 2));
}

std::string JoinTableScript(const std::string& columnsText, const std::string& afterColumns) {
    return afterColumns.empty() ? columnsText : columnsText + "\r\n\r\n" + afterColumns;
}

std::string IndexKeywordPart(int64_t indexId, const std::string& indexName) {
    if (indexId == 1 && StartsWithNoCase(indexName, "pk"))
        return "CONSTRAINT [" + indexName + "] PRIMARY KEY CLUSTERED";
    if (indexId == 1)
        return "CLUSTERED INDEX [" + indexName + "]";
    return "INDEX [" + indexName + "]";
}

std::string BuildIndexPart(Recordset& rows) {
    if (rows.IsBOF() && rows.IsEOF())
        return "";
    rows.MoveFirst();
    if (rows.IsEOF())
        return "";
    std::string result;
    int64_t indexId = rows.Value("indid").Long();
    std::string current = IndexKeywordPart(indexId, rows.Value("index").Text()) + " (";
    auto close = [&]() {
        current.resize(current.size() - 2);
        current += ")";
        result += current;
    };
    while (!rows.IsEOF()) {
        current += "[" + rows.Value("column").Text() + "], ";
        rows.MoveNext();
        if (rows.IsEOF()) {
            close();
        } else if (rows.Value("indid").Long() > indexId) {
            indexId = rows.Value("indid").Long();
            close();
            current = "\r\nINDEX [" + rows.Value("index").Text() + "] (";
        }
    }
    return result + "\r\n";
}

std::string GetObjectFullName(const ServerEntry& server, const std::string& database,
                              const std::string& objectName, bool longForm) {
    if (longForm)
        return objectName + " (Database: " + database + ", Server: " + server.Name + ")";
    std::string name = server.Name + "." + database;
    if (!objectName.empty())
        name += "." + objectName;
    return name;
}

bool IsColumnIgnored(const std::vector<std::string>& ignored, const std::string& columnName) {
    for (const auto& name : ignored)
        if (EqualsNoCase(name, columnName))
            return true;
    return false;
}

std::string TableStructureErrorText(const std::string& tableName, const std::string& serverName,
                                    const std::string& database, int32_t errNumber,
                                    const std::string& errDescription) {
    std::string text = "Error occured while attempting to get the structure of table\r\n\r\n'" +
                       tableName + "'\r\n\r\nin SQL Server database\r\n\r\n'" + serverName + "." +
                       database + "'";
    if (errNumber != 0)
        text += "\r\n\r\nError " + std::to_string(errNumber) + " (" + errDescription + ").";
    return text + "\r\n";
}

} // namespace orv
