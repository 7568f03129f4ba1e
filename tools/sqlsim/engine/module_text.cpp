#include "engine/module_text.h"

namespace sqlsim {

// A default is a constant: a number (possibly negative), a string, NULL, or a bare word that
// SQL Server takes as a string ("@mode varchar(10) = full").
std::optional<Value> readConstant(const std::vector<Token>& t, size_t& i) {
    bool negative = false;
    if (t[i].isOp("-") || t[i].isOp("+")) {
        negative = t[i].isOp("-");
        ++i;
    }
    const Token& v = t[i];
    if (v.kind == Token::Kind::Number) {
        ++i;
        // A money constant's value is its number without the currency sign.
        const bool whole = v.value.find_first_of(".eE") == std::string::npos;
        try {
            if (whole)
                return Value::integer((negative ? -1 : 1) * std::stoll(v.value));
            return Value::real((negative ? -1 : 1) * std::stod(v.value));
        } catch (const std::exception&) {
            return Value::str(v.value);
        }
    }
    if (v.kind == Token::Kind::String || v.kind == Token::Kind::NString) {
        ++i;
        return Value::str(v.value);
    }
    if (v.is("NULL")) {
        ++i;
        return Value::null();
    }
    if (v.isName()) {
        ++i;
        return Value::str(v.name());
    }
    return std::nullopt;
}

std::optional<ProcedureText> readProcedureText(const std::string& text) {
    ProcedureText p;
    std::string err;
    p.toks = tokenize(text, err);
    if (!err.empty())
        return std::nullopt;
    const auto& t = p.toks;
    const size_t n = t.size() - 1;
    size_t i = 0;
    while (i + 1 < n && !(t[i].is("CREATE") && (t[i + 1].is("PROC") || t[i + 1].is("PROCEDURE"))))
        ++i;
    if (i + 2 >= n)
        return std::nullopt;
    i += 2;
    // The name, one to three parts, then a group number.
    if (i < n && t[i].isName())
        ++i;
    while (i + 1 < n && t[i].isOp(".") && t[i + 1].isName())
        i += 2;
    if (i < n && t[i].isOp(";"))
        i += 2;
    const bool parenthesised = i < n && t[i].isOp("(");
    if (parenthesised)
        ++i;
    while (i < n && t[i].kind == Token::Kind::Variable) {
        ProcedureParam param;
        param.name = upper(t[i].text);
        param.written = t[i].text;
        ++i;
        if (t[i].is("AS"))
            ++i;
        if (!t[i].isName())
            return std::nullopt;
        param.typeName = lower(t[i].name());
        ++i;
        while (i + 1 < n && t[i].isOp(".") && t[i + 1].isName()) {
            param.typeName = lower(t[i + 1].name());
            i += 2;
        }
        if (t[i].isOp("(")) {
            int depth = 0;
            do {
                if (t[i].isOp("("))
                    ++depth;
                else if (t[i].isOp(")"))
                    --depth;
                ++i;
            } while (i < n && depth > 0);
        }
        if (t[i].is("VARYING"))
            ++i;
        if (t[i].isOp("=")) {
            ++i;
            param.defaultValue = readConstant(t, i);
            if (!param.defaultValue)
                return std::nullopt;
        }
        for (; i < n; ++i) {
            if (t[i].is("OUT") || t[i].is("OUTPUT"))
                param.output = true;
            else if (!t[i].is("READONLY"))
                break;
        }
        p.params.push_back(std::move(param));
        if (i < n && t[i].isOp(","))
            ++i;
    }
    if (parenthesised && i < n && t[i].isOp(")"))
        ++i;
    // WITH RECOMPILE / ENCRYPTION / EXECUTE AS ... and FOR REPLICATION come before the body's
    // AS; EXECUTE AS carries an AS of its own.
    for (; i < n; ++i) {
        if (t[i].is("AS") && !(i > 0 && (t[i - 1].is("EXECUTE") || t[i - 1].is("EXEC")))) {
            p.bodyBegin = i + 1;
            return p;
        }
    }
    return std::nullopt;
}

std::optional<TriggerText> readTriggerText(const std::string& text) {
    TriggerText tr;
    std::string err;
    tr.toks = tokenize(text, err);
    if (!err.empty())
        return std::nullopt;
    tr.text = text;
    const auto& t = tr.toks;
    const size_t n = t.size() - 1;
    size_t i = 0;
    while (i + 1 < n && !(t[i].is("CREATE") && t[i + 1].is("TRIGGER")))
        ++i;
    for (; i < n && !t[i].is("ON"); ++i) {
    }
    for (; i < n; ++i) {
        if (t[i].is("FOR") || t[i].is("AFTER"))
            break;
        if (t[i].is("INSTEAD") && i + 1 < n && t[i + 1].is("OF")) {
            tr.insteadOf = true;
            ++i;
            break;
        }
    }
    for (++i; i < n; ++i) {
        if (t[i].is("INSERT"))
            tr.onInsert = true;
        else if (t[i].is("UPDATE"))
            tr.onUpdate = true;
        else if (t[i].is("DELETE"))
            tr.onDelete = true;
        else if (t[i].is("AS")) {
            tr.bodyBegin = i + 1;
            return tr;
        }
    }
    return std::nullopt;
}

} // namespace sqlsim
