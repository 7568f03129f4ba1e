#include "wire/rpc_sql.h"

#include "wire/types.h"

#include <cctype>

namespace sqlsim::wire {

std::string lowerAscii(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

namespace {

std::string quoted(const std::string& text, bool unicode) {
    std::string out = unicode ? "N'" : "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    out += '\'';
    return out;
}

bool isIdentChar(char c) {
    auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '@' || c == '#' || c == '$' || u >= 0x80;
}

} // namespace

std::string sqlLiteral(const RpcParam& p) {
    const Value& v = p.value;
    if (v.kind == Value::Kind::Null)
        return "NULL";
    if (v.kind == Value::Kind::Int || v.kind == Value::Kind::Float)
        return valueText(v);
    switch (p.type.type) {
    case SqlType::Binary:
    case SqlType::VarBinary:
    case SqlType::Image: {
        static const char* kHex = "0123456789ABCDEF";
        std::string out = "0x";
        for (char c : v.text) {
            auto b = static_cast<unsigned char>(c);
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
        return out;
    }
    case SqlType::Decimal:
    case SqlType::Numeric:
    case SqlType::Money:
    case SqlType::SmallMoney:
        return v.text;
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::Text:
    case SqlType::DateTime:
    case SqlType::SmallDateTime:
    case SqlType::UniqueIdentifier:
        return quoted(v.text, false);
    default:
        return quoted(v.text, true);
    }
}

std::vector<std::string> declaredNames(const std::string& declaration) {
    std::vector<std::string> names;
    int depth = 0;
    bool expectName = true;
    for (size_t i = 0; i < declaration.size(); ++i) {
        char c = declaration[i];
        if (c == '(')
            ++depth;
        else if (c == ')')
            --depth;
        else if (c == ',' && depth == 0)
            expectName = true;
        else if (c == '@' && expectName && depth == 0) {
            size_t j = i + 1;
            while (j < declaration.size() && isIdentChar(declaration[j]))
                ++j;
            names.push_back(declaration.substr(i, j - i));
            expectName = false;
            i = j - 1;
        }
    }
    return names;
}

std::string substituteParams(const std::string& sql,
                             const std::map<std::string, std::string>& values) {
    std::string out;
    out.reserve(sql.size());
    size_t i = 0;
    auto copyUntil = [&](size_t end) {
        out.append(sql, i, end - i);
        i = end;
    };
    while (i < sql.size()) {
        char c = sql[i];
        if (c == '\'' || c == '"' || c == '[') {
            char close = c == '[' ? ']' : c;
            size_t j = i + 1;
            while (j < sql.size()) {
                if (sql[j] == close) {
                    if (j + 1 < sql.size() && sql[j + 1] == close) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            copyUntil(std::min(j + 1, sql.size()));
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            size_t j = sql.find('\n', i);
            copyUntil(j == std::string::npos ? sql.size() : j);
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            size_t j = sql.find("*/", i + 2);
            copyUntil(j == std::string::npos ? sql.size() : j + 2);
        } else if (c == '@') {
            size_t j = i + 1;
            while (j < sql.size() && isIdentChar(sql[j]))
                ++j;
            std::string name = sql.substr(i, j - i);
            bool system = name.size() > 1 && name[1] == '@';
            auto it = system ? values.end() : values.find(lowerAscii(name));
            if (it != values.end()) {
                out += it->second;
                i = j;
            } else {
                copyUntil(j);
            }
        } else if (isIdentChar(c)) {
            // A whole word: '@' inside an identifier such as x@P1 is part of the name.
            size_t j = i;
            while (j < sql.size() && isIdentChar(sql[j]))
                ++j;
            copyUntil(j);
        } else {
            copyUntil(i + 1);
        }
    }
    return out;
}

std::map<std::string, std::string> bindParams(const std::vector<RpcParam>& params, size_t first,
                                              const std::string& declaration) {
    std::map<std::string, std::string> values;
    std::vector<std::string> declared = declaredNames(declaration);
    for (size_t k = first; k < params.size(); ++k) {
        std::string name = params[k].name;
        size_t pos = k - first;
        if (name.empty() && pos < declared.size())
            name = declared[pos];
        if (name.empty())
            continue;
        if (name[0] != '@')
            name = "@" + name;
        values[lowerAscii(name)] = sqlLiteral(params[k]);
    }
    return values;
}

const RpcParam* statementParam(const std::string& procName, const std::vector<RpcParam>& params) {
    std::string p = lowerAscii(procName);
    size_t index;
    if (p == "sp_executesql")
        index = 0;
    else if (p == "sp_prepare" || p == "sp_prepexec" || p == "sp_cursorprepare" ||
             p == "sp_cursorprepexec")
        index = 2;
    else if (p == "sp_cursoropen")
        index = 1;
    else
        return nullptr;
    if (index >= params.size())
        return nullptr;
    return &params[index];
}

} // namespace sqlsim::wire
