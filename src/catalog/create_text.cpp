#include "catalog/create_builder.h"

#include "catalog/sql_quote.h"
#include "util/text.h"

#include <cstdio>

namespace orv {

std::string CreateTypeWord(ObjectType type) {
    switch (type) {
    case kTypeProcedure:
        return "Procedure";
    case kTypeFunction:
        return "Function";
    case kTypeView:
        return "View";
    case kTypeTrigger:
        return "Trigger";
    case kTypeTable:
        return "Table";
    case kTypeRelationship:
        return "Relationship";
    default:
        return "";
    }
}

std::string CreateHeaderCondition(ObjectType type) {
    switch (type) {
    case kTypeProcedure:
        return "OBJECTPROPERTY(id, 'IsProcedure') = 1";
    case kTypeFunction:
        return "xtype in ('FN', 'IF', 'TF')";
    case kTypeView:
        return "OBJECTPROPERTY(id, 'IsView') = 1";
    case kTypeTrigger:
        return "OBJECTPROPERTY(id, 'IsTrigger') = 1";
    case kTypeTable:
        return "OBJECTPROPERTY(id, 'IsTable') = 1";
    case kTypeRelationship:
        return "OBJECTPROPERTY(id, 'IsRelationship') = 1";
    default:
        return "";
    }
}

std::string ScriptDateText(const std::tm& when) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", when.tm_year + 1900,
                  when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
    return buffer;
}

std::string InBlockComment(const std::string& text) {
    // Block comments nest in T-SQL: an opening mark in a name would swallow the rest of the
    // script, a closing one would end the comment and run the remainder of the name as SQL.
    return ReplaceAll(ReplaceAll(text, "*/", "* /"), "/*", "/ *");
}

std::string BuildScriptHeader(const std::string& database, ObjectType type,
                              const std::string& extendedName, std::string& dropPart,
                              const std::tm& when) {
    const std::string word = CreateTypeWord(type);
    dropPart = "IF EXISTS (SELECT * FROM dbo.sysobjects\r\n"
               "WHERE id = object_id('" +
               SqlLiteral(extendedName) + "') AND " + CreateHeaderCondition(type) +
               ")\r\n"
               "DROP " +
               word + extendedName;
    return "USE " + QuoteCatalogName(database) +
           "\r\n"
           "GO\r\n"
           "/****** Object: " +
           word + " " + InBlockComment(extendedName) +
           "      ---- Script Date: " + ScriptDateText(when) +
           " ******/\r\n"
           "SET ANSI_NULLS ON\r\n"
           "GO\r\n"
           "SET QUOTED_IDENTIFIER ON\r\n"
           "GO\r\n" +
           dropPart + "\r\nGO";
}

std::string BuildScriptHeader(const std::string& database, ObjectType type,
                              const std::string& extendedName, std::string& dropPart) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return BuildScriptHeader(database, type, extendedName, dropPart, local);
}

namespace {

// A name inside the bracketed identifiers of the EXEC('...') text.
std::string InExecText(const std::string& name) {
    return SqlLiteral(ReplaceAll(name, "]", "]]"));
}

} // namespace

std::string BuildViewIndexStatements(Recordset& rows, const std::string& viewName) {
    if (rows.IsBOF() && rows.IsEOF())
        return "";
    rows.MoveFirst();
    if (rows.IsEOF())
        return "";
    auto start = [&](bool first) {
        const bool clustered = first && rows.Value("indid").Long() == 1;
        return std::string(clustered ? "EXEC('CREATE UNIQUE CLUSTERED INDEX ["
                                     : "EXEC('CREATE INDEX [") +
               InExecText(rows.Value("index").Text()) + "] ON ' + @Database + '.[dbo].[" +
               InExecText(viewName) + "]\r\n(";
    };
    std::string result;
    int64_t indexId = rows.Value("indid").Long();
    std::string current = start(true);
    auto close = [&]() {
        current.resize(current.size() - 2);
        current += ") ON [PRIMARY] ')\r\nIF @@ERROR <> 0 SET @ErrorVal = @@ERROR\r\n\r\n";
        result += current;
    };
    while (!rows.IsEOF()) {
        current += "[" + InExecText(rows.Value("column").Text()) + "], ";
        rows.MoveNext();
        if (rows.IsEOF()) {
            close();
        } else if (rows.Value("indid").Long() > indexId) {
            indexId = rows.Value("indid").Long();
            close();
            current = start(false);
        }
    }
    return result;
}

std::string AssembleCreateStatement(const std::string& header, ObjectType type,
                                    const std::string& extendedName, std::string body,
                                    std::string extras, const std::string& lineSuffix,
                                    const std::string& afterTable) {
    std::string opening;
    std::string closing;
    if (type == kTypeTable) {
        opening = "CREATE " + ToUpperAscii(CreateTypeWord(type)) + " " + extendedName + " (";
        closing = ")";
    }
    if (lineSuffix.size() == 1) {
        const char last = lineSuffix.front();
        if (!extras.empty()) {
            if (extras.back() == last)
                extras.pop_back();
        } else if (!body.empty() && body.back() == last) {
            body.pop_back();
        }
    }
    std::string statement =
        header + "\r\n" + opening + "\r\n" + body + " " + extras + "\r\n" + closing;
    if (!afterTable.empty())
        statement += "\r\nGO\r\n" + afterTable + "\r\nGO";
    return statement;
}

} // namespace orv
