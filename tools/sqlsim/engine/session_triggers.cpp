// DML triggers as SQL Server runs them: once per statement, after it (AFTER, FOR) or in its
// place (INSTEAD OF), with the statement's rows in `inserted` and `deleted`, inside the
// statement's transaction ("CREATE TRIGGER", "Use the inserted and deleted tables").
//
// The rows are caught by SQLite triggers made for the one statement on this connection only
// (TEMP), so other sessions and the stored schema never see them: an AFTER statement records
// the rowids it wrote and the old values it replaced; an INSTEAD OF one records the rows it
// would have written and writes nothing (a BEFORE trigger that ends in RAISE(IGNORE) on a
// table, an INSTEAD OF trigger on a view).
#include "engine/integrity.h"
#include "engine/session.h"
#include "engine/session_internal.h"

namespace sqlsim {

namespace {

std::string schemaOf(const ResolvedTable& t) {
    return t.sqlRef.substr(1, t.sqlRef.find('"', 1) - 1);
}

std::string moduleText(const Catalog& cat, int id) {
    std::string text;
    Stmt st(cat.db(),
            "SELECT text FROM " + cat.t("syscomments") + " WHERE id = ? ORDER BY number, colid");
    st.bind(1, id);
    while (st.step())
        text += st.text(0);
    return text;
}

} // namespace

std::vector<TriggerText> SessionImpl::triggersFor(const ResolvedTable& target,
                                                  const std::string& kind) {
    Catalog cat(conn_.get(), schemaOf(target), engine_.major);
    std::vector<std::pair<int, std::string>> ids;
    {
        Stmt st(cat.db(), "SELECT id, name FROM " + cat.t("sysobjects") +
                              " WHERE parent_obj = ? AND xtype = 'TR' ORDER BY id");
        st.bind(1, target.objectId);
        while (st.step())
            ids.emplace_back(static_cast<int>(st.integer(0)), st.text(1));
    }
    std::vector<TriggerText> out;
    for (const auto& [id, name] : ids) {
        // A trigger does not fire itself again through its own statements (RECURSIVE_TRIGGERS
        // is OFF by default), and one switched off by DISABLE TRIGGER does not fire at all.
        bool active = false;
        for (const Firing& f : firing_)
            active = active || f.triggerId == id;
        if (active || isDisabled(cat, id))
            continue;
        auto t = readTriggerText(moduleText(cat, id));
        if (!t)
            continue;
        if ((kind == "INSERT" && !t->onInsert) || (kind == "UPDATE" && !t->onUpdate) ||
            (kind == "DELETE" && !t->onDelete))
            continue;
        t->id = id;
        t->name = name;
        out.push_back(std::move(*t));
    }
    // An INSTEAD OF trigger replaces the statement, and the AFTER ones of the table then
    // fire only for what the INSTEAD OF trigger itself writes.
    for (auto& t : out)
        if (t.insteadOf)
            return {t};
    return out;
}

std::vector<std::string> SessionImpl::updatedColumns(const std::vector<Token>& toks,
                                                     const Statement& st) {
    std::vector<std::string> cols;
    if (st.kind != "UPDATE")
        return cols;
    size_t i = st.begin;
    while (i < st.end && !toks[i].is("SET"))
        ++i;
    int depth = 0;
    bool expectColumn = true;
    for (++i; i < st.end; ++i) {
        const Token& t = toks[i];
        if (t.isOp("("))
            ++depth;
        else if (t.isOp(")"))
            --depth;
        if (depth > 0)
            continue;
        if (t.is("FROM") || t.is("WHERE") || t.is("OPTION"))
            break;
        if (t.isOp(",")) {
            expectColumn = true;
        } else if (expectColumn && t.isName()) {
            // alias.column or column: the last name before "=".
            size_t j = i;
            while (j + 2 < st.end && toks[j + 1].isOp(".") && toks[j + 2].isName())
                j += 2;
            if (toks[j + 1].isOp("=") ||
                (toks[j + 1].kind == Token::Kind::Op && toks[j + 1].text.size() == 2 &&
                 toks[j + 1].text[1] == '='))
                cols.push_back(toks[j].name());
            i = j;
            expectColumn = false;
        } else {
            expectColumn = false;
        }
    }
    return cols;
}

void SessionImpl::answerUpdateTests(std::vector<Token>& cond) const {
    if (firing_.empty())
        return;
    const Firing& f = firing_.back();
    for (size_t i = 0; i + 3 < cond.size(); ++i) {
        if (!(cond[i].is("UPDATE") && cond[i + 1].isOp("(") && cond[i + 2].isName() &&
              cond[i + 3].isOp(")")))
            continue;
        bool set = f.allColumns;
        for (const auto& c : f.updated)
            set = set || iequals(c, cond[i + 2].name());
        Token one = cond[i];
        one.kind = Token::Kind::Number;
        one.text = one.value = set ? "1" : "0";
        Token eq = cond[i];
        eq.kind = Token::Kind::Op;
        eq.text = eq.value = "=";
        Token rhs = one;
        rhs.text = rhs.value = "1";
        // UPDATE(c) becomes (1 = 1) or (0 = 1): a predicate, as the test is.
        cond[i] = cond[i + 1];
        cond[i + 1] = one;
        cond[i + 2] = eq;
        cond.insert(cond.begin() + static_cast<long>(i + 3), rhs);
    }
}

void SessionImpl::fireTriggers(const std::string& kind, const std::string& sql,
                               const ResolvedTable& target,
                               const std::vector<TriggerText>& triggers,
                               const std::vector<std::string>& updated, ResultSink& sink,
                               const std::atomic<bool>& cancel) {
    if (moduleStack_.size() >= 32)
        throw sqlError(217,
                       "Maximum stored procedure, function, trigger, or view nesting level "
                       "exceeded (limit 32).",
                       1);
    const bool insteadOf = triggers.front().insteadOf;
    const std::string n = std::to_string(++firingCounter_);
    const std::string ins = "sqlsim_inserted_" + n, del = "sqlsim_deleted_" + n;
    const std::string rowids = "sqlsim_rowids_" + n;
    sqlite3* db = conn_.get();
    bool isView = false;
    {
        const std::string schema = schemaOf(target);
        const std::string name =
            target.sqlRef.substr(target.sqlRef.find("\".\"") + 3,
                                 target.sqlRef.size() - target.sqlRef.find("\".\"") - 4);
        Stmt st(db, "SELECT type FROM " + sqlId(schema) + ".sqlite_master WHERE name = ?");
        st.bind(1, name);
        isView = st.step() && st.text(0) == "view";
    }
    std::vector<std::string> cols;
    {
        Stmt st(db, "SELECT * FROM " + target.sqlRef + " LIMIT 0");
        for (int c = 0; c < sqlite3_column_count(st.get()); ++c)
            cols.push_back(sqlite3_column_name(st.get(), c));
    }
    auto rowOf = [&](const char* which) {
        std::string out;
        for (const auto& c : cols)
            out += (out.empty() ? "" : ", ") + std::string(which) + "." + sqlId(c);
        return out;
    };
    auto cleanUp = [&] {
        for (const std::string& t : {ins, del, rowids})
            Db::exec_on(db, "DROP TABLE IF EXISTS temp." + sqlId(t));
    };
    Db::exec_on(db, "CREATE TEMP TABLE " + sqlId(ins) + " AS SELECT * FROM " + target.sqlRef +
                        " WHERE 0");
    Db::exec_on(db, "CREATE TEMP TABLE " + sqlId(del) + " AS SELECT * FROM " + target.sqlRef +
                        " WHERE 0");
    Db::exec_on(db, "CREATE TEMP TABLE " + sqlId(rowids) + " (r INTEGER)");

    // The SQLite triggers that catch the statement's rows.
    std::vector<std::string> catchers;
    auto catcher = [&](const std::string& timing, const std::string& body) {
        const std::string name = "sqlsim_catch_" + n + "_" + std::to_string(catchers.size());
        Db::exec_on(db, "CREATE TEMP TRIGGER " + sqlId(name) + " " + timing + " " + kind + " ON " +
                            target.sqlRef + " FOR EACH ROW BEGIN " + body + " END");
        catchers.push_back(name);
    };
    // A trigger's body may not qualify the tables it writes; unqualified, TEMP comes first.
    const std::string keepNew = "INSERT INTO " + sqlId(ins) + " SELECT " + rowOf("NEW") + "; ";
    const std::string keepOld = "INSERT INTO " + sqlId(del) + " SELECT " + rowOf("OLD") + "; ";
    const std::string keepRowid = "INSERT INTO " + sqlId(rowids) + " VALUES (NEW.rowid); ";
    const std::string mine = (kind == "INSERT"   ? keepNew
                              : kind == "DELETE" ? keepOld
                                                 : keepNew + keepOld);
    // SQL Server runs a trigger within the statement's transaction; @@TRANCOUNT is at least 1
    // inside it, and a ROLLBACK there undoes the statement and everything before it.
    const int tranBefore = tranCount_;
    const bool implicit = tranCount_ == 0;
    if (implicit)
        tranCount_ = 1;
    Db::exec_on(db, "SAVEPOINT sqlsim_fire_" + n);
    auto undo = [&] {
        if (!sqlite3_get_autocommit(db)) {
            Db::exec_on(db, "ROLLBACK TO sqlsim_fire_" + n);
            Db::exec_on(db, "RELEASE sqlsim_fire_" + n);
        }
        if (implicit)
            tranCount_ = 0;
    };
    long long affected = 0;
    try {
        if (insteadOf)
            catcher(isView ? "INSTEAD OF" : "BEFORE",
                    mine + (isView ? std::string() : "SELECT RAISE(IGNORE); "));
        else
            catcher("AFTER", kind == "DELETE"   ? keepOld
                             : kind == "INSERT" ? keepRowid
                                                : keepRowid + keepOld);
        try {
            applyDml(kind, sql, target, insteadOf);
        } catch (...) {
            for (const auto& c : catchers)
                Db::exec_on(db, "DROP TRIGGER IF EXISTS temp." + sqlId(c));
            throw;
        }
        for (const auto& c : catchers)
            Db::exec_on(db, "DROP TRIGGER IF EXISTS temp." + sqlId(c));
        if (!insteadOf && kind != "DELETE")
            Db::exec_on(db, "INSERT INTO temp." + sqlId(ins) + " SELECT * FROM " + target.sqlRef +
                                " WHERE rowid IN (SELECT r FROM temp." + sqlId(rowids) + ")");
        {
            Stmt count(db, "SELECT (SELECT COUNT(*) FROM temp." + sqlId(ins) +
                               "), (SELECT COUNT(*) FROM temp." + sqlId(del) + ")");
            count.step();
            affected = insteadOf ? std::max(count.integer(0), count.integer(1)) : lastRowCount_;
        }
    } catch (...) {
        undo();
        cleanUp();
        throw;
    }

    // Each trigger runs in a scope of its own, with @@ROWCOUNT the statement's count, and as
    // if XACT_ABORT were on: a run-time error in it rolls the transaction back and ends the
    // batch ("SET XACT_ABORT": triggers).
    bool goesOn = true;
    for (const TriggerText& t : triggers) {
        if (!goesOn || tranCount_ == 0)
            break;
        Firing f;
        f.inserted = ins;
        f.deleted = del;
        f.updated = updated;
        f.allColumns = kind == "INSERT";
        f.triggerId = t.id;
        auto callerVariables = std::move(variables_);
        auto callerTypes = std::move(variableTypes_);
        variables_.clear();
        variableTypes_.clear();
        const bool callerXactAbort = xactAbort_;
        xactAbort_ = true;
        firing_.push_back(f);
        moduleStack_.push_back(t.name);
        lastRowCount_ = affected;
        std::vector<Token> body(t.toks.begin() + static_cast<long>(t.bodyBegin), t.toks.end());
        try {
            goesOn = run(t.text, body, sink, cancel, {});
        } catch (...) {
            moduleStack_.pop_back();
            firing_.pop_back();
            xactAbort_ = callerXactAbort;
            variables_ = std::move(callerVariables);
            variableTypes_ = std::move(callerTypes);
            undo();
            cleanUp();
            throw;
        }
        moduleStack_.pop_back();
        firing_.pop_back();
        xactAbort_ = callerXactAbort;
        variables_ = std::move(callerVariables);
        variableTypes_ = std::move(callerTypes);
    }
    lastRowCount_ = affected;
    if (tranCount_ == 0) {
        // ROLLBACK in the trigger, or an error that rolled back: the statement and the
        // transaction are gone and the batch ends.
        cleanUp();
        if (cancel.load())
            throw Cancelled{};
        if (!goesOn || engine_.major <= 8) {
            batchAborted_ = true;
            throw BatchAborted{};
        }
        throw sqlError(3609, "The transaction ended in the trigger. The batch has been aborted.",
                       1);
    }
    if (!goesOn) {
        undo();
        cleanUp();
        batchAborted_ = true;
        throw BatchAborted{};
    }
    Db::exec_on(db, "RELEASE sqlsim_fire_" + n);
    if (implicit && tranCount_ == 1)
        tranCount_ = tranBefore;
    cleanUp();
}

} // namespace sqlsim
