#include "dbcompare/data_sync_script.h"

#include "catalog/sql_quote.h"
#include "core/program_info.h"
#include "dbcompare/data_table_info.h"
#include "dbcompare/data_values.h"
#include "util/text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>

namespace orv {

namespace {

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

SyncScriptWriter::SyncScriptWriter(bool spool)
    : tailLimit_(spool ? 64 * 1024 : SIZE_MAX), current_(NewSection()) {}

void SyncScriptWriter::BeginPair(const DataTableResult& pair) {
    current_ = NewSection();
    current_.Schema = pair.Schema[1];
    current_.Name = pair.Name[1];
}

void SyncScriptWriter::Row(const DataTableResult& pair, const DataRowDiff& row) {
    const std::string table = TargetName(pair);
    switch (row.Status) {
    case RowStatus::OnlyInTarget:
        current_.Deletes += "DELETE FROM " + table + " WHERE " + KeyWhere(pair, row) + ";\r\n";
        ++statements_;
        break;
    case RowStatus::Different: {
        std::string set;
        for (size_t c = 0; c < row.Cells.size() && c < pair.Compared.size(); ++c) {
            if (!row.Cells[c].Differs)
                continue;
            const DataColumn& column = pair.Compared[c];
            if (!pair.TargetIdentity.empty() && EqualsNoCase(column.Name, pair.TargetIdentity)) {
                current_.Comments += "-- " + CommentText(QuoteCatalogName(column.Name)) +
                                     " is an identity column and cannot be updated (key " +
                                     CommentText(KeyText(pair, row)) + ")\r\n";
                continue;
            }
            set += (set.empty() ? "" : ", ") + QuoteCatalogName(column.Name) + " = " +
                   TypedSqlLiteral(row.Cells[c].Source, column.TargetType);
        }
        if (set.empty())
            break;
        current_.Updates +=
            "UPDATE " + table + " SET " + set + " WHERE " + KeyWhere(pair, row) + ";\r\n";
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
        current_.Inserts +=
            "INSERT INTO " + table + " (" + columns + ") VALUES (" + values + ");\r\n";
        ++statements_;
        break;
    }
    case RowStatus::Conflict:
        current_.Comments += "-- not synchronised: the key (" + CommentText(KeyText(pair, row)) +
                             ") occurs " + std::to_string(row.Copies[0]) +
                             " time(s) in the source and " + std::to_string(row.Copies[1]) +
                             " time(s) in the target\r\n";
        break;
    }
}

void SyncScriptWriter::EndPair(const DataTableResult& pair) {
    TableSection section = std::move(current_);
    current_ = NewSection();
    if (section.Deletes.Empty() && section.Updates.Empty() && section.Inserts.Empty() &&
        section.Comments.Empty())
        return;
    std::string head;
    if (pair.Incomplete)
        head += "-- the comparison of this table did not finish: rows are missing here\r\n";
    if (!pair.SourceOnlyColumns.empty() || !pair.IgnoredColumns.empty())
        head += "-- columns only in the source and ignored columns are left as they are\r\n";
    section.Head = head;
    // Only when the inserts name the identity column: otherwise the server numbers the rows
    // itself and IDENTITY_INSERT would make it refuse them.
    bool identity = false;
    for (const std::string& k : pair.KeyColumns)
        identity = identity || EqualsNoCase(k, pair.TargetIdentity);
    for (const DataColumn& c : pair.Compared)
        identity = identity || EqualsNoCase(c.Name, pair.TargetIdentity);
    section.Identity = identity && !pair.TargetIdentity.empty();
    tables_.push_back(std::move(section));
}

namespace {

using Section = SyncScriptWriter::TableSection;

// A foreign key's table names the script's table: same name, and same schema where both are
// known (a pair asked for without a schema has none).
bool SameTable(const Section& t, const std::array<std::string, 2>& name) {
    return EqualsNoCase(t.Name, name[1]) && (t.Schema.empty() || EqualsNoCase(t.Schema, name[0]));
}

int IndexOf(const std::vector<Section>& tables, const std::array<std::string, 2>& name) {
    for (size_t i = 0; i < tables.size(); ++i)
        if (SameTable(tables[i], name))
            return static_cast<int>(i);
    return -1;
}

// How the tables depend on each other through the target's checked foreign keys.
struct TableOrder {
    // Referenced tables before the tables that reference them; inside a cycle, as written.
    std::vector<size_t> ParentsFirst;
    // The foreign keys that cannot be satisfied statement by statement: those of a cycle and
    // those of a table that references itself.
    std::vector<const ForeignKeyLink*> Unchecked;
};

// Strongly connected components (Tarjan) give the cycles; the components in reverse finishing
// order are the referenced tables first. Ties keep the script's own (name) order.
TableOrder OrderTables(const std::vector<Section>& tables,
                       const std::vector<ForeignKeyLink>& links) {
    const size_t n = tables.size();
    std::vector<std::vector<size_t>> children(n);
    std::vector<std::pair<int, int>> edges; // per usable link: {parent, child}, or -1
    for (const ForeignKeyLink& link : links) {
        const int parent = link.Disabled ? -1 : IndexOf(tables, link.Parent);
        const int child = link.Disabled ? -1 : IndexOf(tables, link.Child);
        edges.push_back({parent, child});
        if (parent >= 0 && child >= 0 && parent != child)
            children[static_cast<size_t>(parent)].push_back(static_cast<size_t>(child));
    }
    std::vector<int> index(n, -1), low(n, 0), component(n, -1);
    std::vector<bool> onStack(n, false);
    std::vector<size_t> stack;
    std::vector<std::vector<size_t>> components; // in finishing order: children first
    int counter = 0;
    std::function<void(size_t)> visit = [&](size_t v) {
        index[v] = low[v] = counter++;
        stack.push_back(v);
        onStack[v] = true;
        for (size_t w : children[v]) {
            if (index[w] < 0) {
                visit(w);
                low[v] = std::min(low[v], low[w]);
            } else if (onStack[w]) {
                low[v] = std::min(low[v], index[w]);
            }
        }
        if (low[v] == index[v]) {
            std::vector<size_t> members;
            size_t w;
            do {
                w = stack.back();
                stack.pop_back();
                onStack[w] = false;
                component[w] = static_cast<int>(components.size());
                members.push_back(w);
            } while (w != v);
            std::sort(members.begin(), members.end());
            components.push_back(std::move(members));
        }
    };
    for (size_t v = 0; v < n; ++v)
        if (index[v] < 0)
            visit(v);
    // Kahn's order over the components, always taking the first ready table in script order.
    const size_t m = components.size();
    std::vector<int> waiting(m, 0);
    std::vector<std::vector<size_t>> next(m);
    for (size_t v = 0; v < n; ++v)
        for (size_t w : children[v])
            if (component[v] != component[w]) {
                next[static_cast<size_t>(component[v])].push_back(
                    static_cast<size_t>(component[w]));
                ++waiting[static_cast<size_t>(component[w])];
            }
    TableOrder order;
    std::vector<bool> done(m, false);
    for (size_t taken = 0; taken < m; ++taken) {
        size_t best = m;
        for (size_t c = 0; c < m; ++c)
            if (!done[c] && waiting[c] == 0 &&
                (best == m || components[c].front() < components[best].front()))
                best = c;
        done[best] = true;
        for (size_t c : next[best])
            --waiting[c];
        for (size_t v : components[best])
            order.ParentsFirst.push_back(v);
    }
    for (size_t k = 0; k < links.size(); ++k) {
        const auto [parent, child] = edges[k];
        if (parent >= 0 && child >= 0 &&
            component[static_cast<size_t>(parent)] == component[static_cast<size_t>(child)])
            order.Unchecked.push_back(&links[k]);
    }
    return order;
}

std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
    return buf;
}

// A text inside N'...' that RAISERROR also reads as its format: quotes and percent signs
// doubled.
std::string MessageLiteral(const std::string& text) {
    std::string out = "N'";
    for (char c : text) {
        if (c == '\'' || c == '%')
            out += c;
        out += c;
    }
    return out + "'";
}

std::string Header(const DataCompareResults& run, const SyncScriptOptions& options, bool cycles) {
    std::string h = "-- Synchronisation script: makes the rows of the target tables equal the "
                    "rows of the source tables.\r\n";
    const char* const side[2] = {"-- Source: server ", "-- Target: server "};
    for (int s = 0; s < 2; ++s)
        h += side[s] + CommentText(run.ServerName[s]) + ", database " + CommentText(run.DbName[s]) +
             "\r\n";
    h += "-- Made " + (options.MadeAt.empty() ? LocalTimeText() : options.MadeAt) + " by Orvane " +
         kProgramVersion + ".\r\n";
    h += "-- Review it before running it: nothing here has been run.\r\n";
    h += "-- Rows are deleted from referencing tables first, then updated and inserted in "
         "referenced tables first.\r\n";
    if (cycles)
        h += "-- Foreign keys that form a cycle, or that reference their own table, are switched "
             "off (NOCHECK)\r\n-- while the script changes the rows and switched on again WITH "
             "CHECK at its end, which\r\n-- checks every row against them.\r\n";
    if (options.DisableTriggers)
        h += "-- The target's triggers on the changed tables are disabled while the script "
             "changes them,\r\n-- so that they do not act on the script's own statements.\r\n";
    return h;
}

// USE, and a stop in any other database: RAISERROR tells why, and NOEXEC keeps every later
// batch of the script from running.
std::string DatabaseGuard(const std::string& database) {
    if (database.empty())
        return {};
    return "USE " + QuoteCatalogName(database) + ";\r\nGO\r\nIF DB_NAME() <> " +
           UnicodeLiteral(database) + "\r\nBEGIN\r\n    RAISERROR(" +
           MessageLiteral("This script was made for the database " + database +
                          ": it stops without changing anything.") +
           ", 16, 1);\r\n    SET NOEXEC ON;\r\nEND\r\nGO\r\n";
}

std::string TriggerStatement(const std::string& table, bool later, bool disable) {
    if (later)
        return std::string(disable ? "DISABLE" : "ENABLE") + " TRIGGER ALL ON " + table + ";\r\n";
    return "ALTER TABLE " + table + (disable ? " DISABLE" : " ENABLE") + " TRIGGER ALL;\r\n";
}

} // namespace

std::string SyncScriptWriter::Script(const DataCompareResults& run,
                                     const SyncScriptOptions& options) const {
    std::string script;
    WriteScript(
        [&](std::string_view piece) {
            script.append(piece);
            return true;
        },
        run, options);
    return script;
}

bool SyncScriptWriter::WriteScript(const std::function<bool(std::string_view)>& write,
                                   const DataCompareResults& run,
                                   const SyncScriptOptions& options) const {
    // Small texts are gathered and handed on in chunks; the spooled statements go straight
    // through.
    std::string script;
    bool ok = true;
    auto flush = [&] {
        ok = ok && (script.empty() || write(script));
        script.clear();
        return ok;
    };
    auto spooled = [&](const SpoolText& text) {
        if (flush() && !text.Empty())
            ok = text.WriteTo(write);
    };
    const TableOrder order = OrderTables(tables_, run.TargetForeignKeys);
    // A 2000 server has no DISABLE TRIGGER statement; an unknown version takes the form both
    // accept.
    const bool later = run.TargetVersionMajor > 8;
    script = Header(run, options, !order.Unchecked.empty());
    script += DatabaseGuard(run.DbName[1]);
    script += "SET XACT_ABORT ON;\r\nBEGIN TRANSACTION;\r\n";

    std::vector<const Section*> changed;
    for (size_t i : order.ParentsFirst) {
        const Section& t = tables_[i];
        if (!t.Deletes.Empty() || !t.Updates.Empty() || !t.Inserts.Empty())
            changed.push_back(&t);
    }
    if (!order.Unchecked.empty()) {
        script += "\r\n-- foreign keys in a cycle: not checked until the end of the script\r\n";
        for (const ForeignKeyLink* link : order.Unchecked)
            script += "ALTER TABLE " + QuotedTableName(link->Child[0], link->Child[1]) +
                      " NOCHECK CONSTRAINT " + QuoteCatalogName(link->Name) + ";\r\n";
    }
    if (options.DisableTriggers && !changed.empty()) {
        script += "\r\n-- the target's triggers stay out of the script's changes\r\n";
        for (const Section* t : changed)
            script += TriggerStatement(QuotedTableName(t->Schema, t->Name), later, true);
    }
    // Deletes: tables that reference others first.
    for (auto it = order.ParentsFirst.rbegin(); it != order.ParentsFirst.rend(); ++it) {
        const Section& t = tables_[*it];
        if (t.Deletes.Empty())
            continue;
        script += "\r\n-- " + CommentText(QuotedTableName(t.Schema, t.Name)) + ": deletes\r\n";
        spooled(t.Deletes);
    }
    // Updates and inserts: referenced tables first.
    for (size_t i : order.ParentsFirst) {
        const Section& t = tables_[i];
        if (t.Updates.Empty() && t.Inserts.Empty() && t.Comments.Empty() && t.Head.empty())
            continue;
        const std::string table = QuotedTableName(t.Schema, t.Name);
        script += "\r\n-- " + CommentText(table) + "\r\n" + t.Head;
        spooled(t.Comments);
        spooled(t.Updates);
        if (t.Inserts.Empty())
            continue;
        if (t.Identity)
            script += "SET IDENTITY_INSERT " + table + " ON;\r\n";
        spooled(t.Inserts);
        if (t.Identity)
            script += "SET IDENTITY_INSERT " + table + " OFF;\r\n";
    }
    if (options.DisableTriggers && !changed.empty()) {
        script += "\r\n";
        for (const Section* t : changed)
            script += TriggerStatement(QuotedTableName(t->Schema, t->Name), later, false);
    }
    if (!order.Unchecked.empty()) {
        script += "\r\n-- the foreign keys of the cycle are checked again, over every row\r\n";
        for (const ForeignKeyLink* link : order.Unchecked)
            script += "ALTER TABLE " + QuotedTableName(link->Child[0], link->Child[1]) +
                      " WITH CHECK CHECK CONSTRAINT " + QuoteCatalogName(link->Name) + ";\r\n";
    }
    script += "\r\nCOMMIT TRANSACTION;\r\n";
    if (!run.DbName[1].empty())
        script += "GO\r\nSET NOEXEC OFF;\r\nGO\r\n";
    return flush();
}

bool ResultsHoldEveryRow(const DataTableResult& pair) {
    return !pair.RowsCut && !pair.Incomplete;
}

std::string SyncScriptFromResults(const DataCompareResults& results,
                                  const std::vector<size_t>& tables,
                                  const SyncScriptOptions& options) {
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
    return writer.Script(results, options);
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
    script = writer.Script(*results, request.Sync);
    return true;
}

} // namespace orv
