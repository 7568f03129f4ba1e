// Cuts a batch into statements the way SQL Server reads them: no semicolons needed.
#include "engine/session.h"
#include "engine/session_internal.h"

namespace sqlsim {

std::vector<Statement> SessionImpl::split(const std::vector<Token>& toks) const {
    std::vector<Statement> out;
    size_t n = toks.size() - 1; // without End
    size_t i = 0;
    while (i < n) {
        if (toks[i].isOp(";")) {
            ++i;
            continue;
        }
        Statement st;
        st.begin = i;
        st.kind = toks[i].kind == Token::Kind::Word ? toks[i].value : "";
        if (st.kind == "EXECUTE")
            st.kind = "EXEC";
        bool module = false;
        if ((st.kind == "CREATE" || st.kind == "ALTER") && i + 1 < n) {
            const Token& w = toks[i + 1];
            module = w.is("PROC") || w.is("PROCEDURE") || w.is("FUNCTION") || w.is("TRIGGER") ||
                     w.is("VIEW");
        }
        if (module) {
            st.end = n;
            out.push_back(st);
            break;
        }
        // Block structure: BEGIN ... END and ELSE stand alone; BEGIN TRAN is a statement.
        if (st.kind == "BEGIN" && i + 1 < n &&
            (toks[i + 1].is("TRAN") || toks[i + 1].is("TRANSACTION") ||
             toks[i + 1].is("DISTRIBUTED")))
            st.kind = "BEGIN TRAN";
        // BEGIN TRY, END TRY, BEGIN CATCH and END CATCH stand alone, like BEGIN and END.
        if ((st.kind == "BEGIN" || st.kind == "END") && i + 1 < n &&
            (toks[i + 1].is("TRY") || toks[i + 1].is("CATCH"))) {
            st.kind += " " + toks[i + 1].value;
            st.end = i + 2;
            out.push_back(st);
            i = st.end;
            continue;
        }
        if (st.kind == "BEGIN" || st.kind == "END" || st.kind == "ELSE") {
            st.end = i + 1;
            out.push_back(st);
            i = st.end;
            continue;
        }
        int depth = 0;
        int caseDepth = 0;
        bool sawSet = false, sawBody = false;
        size_t j = i + 1;
        for (; j < n; ++j) {
            const Token& t = toks[j];
            if (t.isOp("("))
                ++depth;
            else if (t.isOp(")"))
                --depth;
            else if (t.isOp(";") && depth == 0)
                break;
            if (depth != 0 || t.kind != Token::Kind::Word)
                continue;
            if (t.is("CASE"))
                ++caseDepth;
            if (t.is("END")) {
                if (caseDepth == 0)
                    break;
                --caseDepth;
            }
            if (t.is("ELSE") && caseDepth == 0)
                break;
            if (t.is("SET"))
                sawSet = true;
            if (t.is("VALUES") || t.is("SELECT"))
                sawBody = true;
            if (!statementStarters().count(t.value))
                continue;
            const Token& prev = toks[j - 1];
            // UNION [ALL] SELECT goes on; DISABLE TRIGGER ALL before a SELECT does not.
            const bool unionAll = prev.is("ALL") && j >= 2 && toks[j - 2].is("UNION");
            if (t.is("SELECT") &&
                (prev.is("UNION") || unionAll || prev.is("EXCEPT") || prev.is("INTERSECT")))
                continue;
            if (t.is("SELECT") && st.kind == "INSERT" && !(sawBody && j > i + 1 && false)) {
                // INSERT ... SELECT: the first SELECT belongs to the INSERT.
                bool earlier = false;
                for (size_t k = i + 1; k < j; ++k)
                    if (toks[k].is("VALUES") || (toks[k].is("SELECT")))
                        earlier = true;
                if (!earlier)
                    continue;
            }
            if (t.is("SET") && st.kind == "UPDATE") {
                bool earlier = false;
                for (size_t k = i + 1; k < j; ++k)
                    if (toks[k].is("SET"))
                        earlier = true;
                if (!earlier)
                    continue;
            }
            if ((st.kind == "GRANT" || st.kind == "REVOKE" || st.kind == "DENY") &&
                (t.is("SELECT") || t.is("INSERT") || t.is("UPDATE") || t.is("DELETE") ||
                 t.is("EXEC") || t.is("EXECUTE")))
                continue;
            if (t.is("EXEC") && st.kind == "INSERT")
                continue;
            if (st.kind == "CREATE" && i + 1 < n && toks[i + 1].is("SCHEMA") && j <= i + 4 &&
                t.is("AUTHORIZATION"))
                continue;
            // ALTER TABLE t DROP CONSTRAINT / ALTER COLUMN belong to the ALTER.
            if (st.kind == "ALTER" && j + 1 < n) {
                const Token& nx = toks[j + 1];
                if (t.is("DROP") &&
                    (nx.is("CONSTRAINT") || nx.is("COLUMN") ||
                     (nx.isName() && !isReservedWord(nx.value) && !nx.is("STATISTICS") &&
                      !nx.is("TYPE") && !nx.is("LOGIN") && !nx.is("USER"))))
                    continue;
                if (t.is("ALTER") && nx.is("COLUMN"))
                    continue;
                // ALTER TABLE t {ENABLE | DISABLE} TRIGGER.
                if ((t.is("ENABLE") || t.is("DISABLE")) && nx.is("TRIGGER"))
                    continue;
                if (t.is("SET") && toks[i + 1].is("DATABASE"))
                    continue;
            }
            // ALTER DATABASE ... WITH ROLLBACK IMMEDIATE ends the others' work, not a statement.
            if (t.is("ROLLBACK") && prev.is("WITH"))
                continue;
            // UPDATE(column) in a trigger's IF or WHILE tests a column; it starts nothing.
            if (t.is("UPDATE") && j + 1 < n && toks[j + 1].isOp("(") &&
                (st.kind == "IF" || st.kind == "WHILE"))
                continue;
            // ON DELETE / ON UPDATE in a foreign key.
            if ((t.is("DELETE") || t.is("UPDATE")) && prev.is("ON"))
                continue;
            // SET NULL / SET DEFAULT actions of a foreign key.
            if (t.is("SET") && (prev.is("DELETE") || prev.is("UPDATE")))
                continue;
            break;
        }
        (void)sawSet;
        (void)sawBody;
        st.end = j;
        out.push_back(st);
        i = j;
    }
    return out;
}

} // namespace sqlsim
