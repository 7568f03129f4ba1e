// Running the database's own stored procedures: arguments bound to the declared parameters,
// the body run in a scope of its own, the status and OUTPUT values handed back.
#include "engine/module_text.h"
#include "engine/session.h"
#include "engine/session_internal.h"
#include "engine/values.h"

#include <cstdio>

namespace sqlsim {

namespace {

std::vector<std::string> nameParts(const std::string& fullName) {
    std::vector<std::string> parts;
    size_t at = 0;
    for (size_t dot = fullName.find('.'); dot != std::string::npos;
         at = dot + 1, dot = fullName.find('.', at))
        parts.push_back(fullName.substr(at, dot - at));
    parts.push_back(fullName.substr(at));
    return parts;
}

std::string literal(const Value& v) {
    switch (v.kind) {
    case Value::Kind::Null:
        return "NULL";
    case Value::Kind::Int:
        return std::to_string(v.i);
    case Value::Kind::Float: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", v.f);
        return buf;
    }
    case Value::Kind::Text:
        break;
    }
    std::string out = "'";
    for (char c : v.text)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

// SQL Server 2000 names a procedure in these messages; later releases say "procedure or
// function" since both take parameters.
std::string missingParameter(int major, const std::string& proc, const std::string& param) {
    return std::string(major <= 8 ? "Procedure '" : "Procedure or function '") + proc +
           "' expects parameter '" + param + "', which was not supplied.";
}

} // namespace

bool SessionImpl::runUserProcedure(const std::string& fullName, const std::vector<RpcParam>& args,
                                   ResultSink& sink, const std::atomic<bool>& cancel, bool more) {
    const auto parts = nameParts(fullName);
    if (parts.size() > 3)
        return false;
    if (parts.size() == 3 && !parts[0].empty() && !iequals(parts[0], currentDb_))
        throw notSupported("running a procedure of another database");
    Catalog cat = catalog();
    std::optional<int> ns;
    if (parts.size() >= 2 && !parts[parts.size() - 2].empty()) {
        ns = cat.namespaceId(parts[parts.size() - 2]);
        if (!ns)
            return false;
    }
    auto proc = cat.findObject(parts.back(), ns);
    if (!proc && !ns)
        proc = cat.findObject(parts.back(), cat.defaultNamespace());
    if (!proc || proc->xtype != "P")
        return false;

    std::string text;
    {
        Stmt st(cat.db(), "SELECT text FROM " + cat.t("syscomments") +
                              " WHERE id = ? ORDER BY number, colid");
        st.bind(1, proc->id);
        while (st.step())
            text += st.text(0);
    }
    auto module = readProcedureText(text);
    if (!module)
        throw notSupported("running the procedure '" + proc->name +
                           "', whose definition this server cannot read");

    // "Maximum stored procedure, function, trigger, or view nesting level exceeded": 32 deep.
    if (moduleStack_.size() >= 32)
        throw sqlError(217,
                       "Maximum stored procedure, function, trigger, or view nesting level "
                       "exceeded (limit 32).",
                       1);

    // Arguments by position until the first named one; after that every one must be named.
    std::vector<std::optional<Value>> bound(module->params.size());
    std::vector<size_t> argumentOf(module->params.size(), SIZE_MAX);
    bool named = false;
    for (size_t a = 0; a < args.size(); ++a) {
        const RpcParam& arg = args[a];
        size_t target = SIZE_MAX;
        if (!arg.name.empty()) {
            named = true;
            const std::string want = upper(arg.name[0] == '@' ? arg.name : "@" + arg.name);
            for (size_t p = 0; p < module->params.size(); ++p)
                if (module->params[p].name == want)
                    target = p;
            if (target == SIZE_MAX)
                throw sqlError(8145,
                               (arg.name[0] == '@' ? arg.name : "@" + arg.name) +
                                   " is not a parameter for procedure " + proc->name + ".",
                               2);
        } else {
            if (named)
                throw sqlError(119,
                               "Must pass parameter number " + std::to_string(a + 1) +
                                   " and subsequent parameters as '@name = value'. After the "
                                   "form '@name = value' has been used, all subsequent "
                                   "parameters must be passed in the form '@name = value'.",
                               1, 15);
            if (a >= module->params.size())
                throw sqlError(8144,
                               "Procedure or function " + proc->name +
                                   " has too many arguments specified.",
                               1);
            target = a;
        }
        if (!arg.useDefault)
            bound[target] = arg.value;
        argumentOf[target] = a;
    }

    // The body sees its parameters and nothing of the caller's variables.
    auto callerVariables = std::move(variables_);
    auto callerTypes = std::move(variableTypes_);
    variables_.clear();
    variableTypes_.clear();
    auto restore = [&] {
        variables_ = std::move(callerVariables);
        variableTypes_ = std::move(callerTypes);
    };
    try {
        for (size_t p = 0; p < module->params.size(); ++p) {
            const ProcedureParam& param = module->params[p];
            std::optional<Value> value = bound[p];
            if (!value)
                value = param.defaultValue;
            if (!value)
                throw sqlError(201, missingParameter(engine_.major, proc->name, param.written), 4);
            if (convertsOnWrite(param.typeName))
                variableTypes_[param.name] = param.typeName;
            variables_[param.name] = value->kind == Value::Kind::Null
                                         ? *value
                                         : evaluate(assignedAs(param.name, literal(*value)));
        }
    } catch (...) {
        restore();
        throw;
    }

    std::vector<Token> body(module->toks.begin() + static_cast<long>(module->bodyBegin),
                            module->toks.end());
    const int tranBefore = tranCount_;
    moduleStack_.push_back(proc->name);
    returnStatus_ = 0;
    bool goesOn = true;
    try {
        goesOn = run(text, body, sink, cancel, {});
    } catch (...) {
        moduleStack_.pop_back();
        restore();
        throw;
    }
    moduleStack_.pop_back();
    std::map<size_t, Value> outputs;
    for (size_t p = 0; p < module->params.size(); ++p)
        if (module->params[p].output && argumentOf[p] != SIZE_MAX)
            outputs[argumentOf[p]] = lastScope_[module->params[p].name];
    restore();
    procOutputs_ = std::move(outputs);
    if (cancel.load())
        throw Cancelled{};
    if (!goesOn)
        throw BatchAborted{};
    sink.returnStatus(returnStatus_);
    sink.done(false, 0, more);
    // A procedure must leave @@TRANCOUNT as it found it ("Rollbacks and Commits in Stored
    // Procedures and Triggers"); the transaction stays as the procedure left it.
    if (tranCount_ != tranBefore)
        throw transactionCountChanged(engine_.major, tranBefore, tranCount_);
    return true;
}

} // namespace sqlsim
