#include "deploy/deploy_renames.h"

#include "catalog/sql_quote.h"
#include "deploy/deploy_plan.h"

namespace orv {
namespace {

// Splits at `sep` outside brackets and double quotes, taking the quotes off each part (a
// doubled closing quote inside stands for one). False when a quote is left open.
bool SplitParts(const std::string& text, char sep, std::vector<std::string>& parts) {
    parts.assign(1, "");
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c == '[' || c == '"') && parts.back().empty()) {
            const char close = c == '[' ? ']' : '"';
            bool closed = false;
            for (++i; i < text.size(); ++i) {
                if (text[i] == close) {
                    if (i + 1 < text.size() && text[i + 1] == close) {
                        parts.back() += close;
                        ++i;
                        continue;
                    }
                    closed = true;
                    break;
                }
                parts.back() += text[i];
            }
            if (!closed)
                return false;
        } else if (c == sep) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return true;
}

// Where the first `=` outside brackets and quotes stands; npos when there is none.
size_t EqualsAt(const std::string& text) {
    char close = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (close) {
            if (c != close)
                continue;
            if (i + 1 < text.size() && text[i + 1] == close)
                ++i; // a doubled quote stands for one
            else
                close = 0;
        } else if (c == '[') {
            close = ']';
        } else if (c == '"') {
            close = '"';
        } else if (c == '=') {
            return i;
        }
    }
    return std::string::npos;
}

std::string Shown(const std::string& schema, const std::string& name) {
    return BracketName(schema) + "." + BracketName(name);
}

void RenameIn(std::vector<std::string>& names, const ColumnRename& r) {
    for (std::string& n : names) {
        if (SameName(n, r.OldName))
            n = r.NewName;
    }
}

} // namespace

bool ParseColumnRename(const std::string& text, ColumnRename& rename, std::string& error) {
    error =
        "--rename-column " + text + ": write it as TABLE.OLD=NEW, TABLE as schema.table or table";
    const size_t eq = EqualsAt(text);
    if (eq == std::string::npos)
        return false;
    std::vector<std::string> left, right;
    if (!SplitParts(text.substr(0, eq), '.', left) || !SplitParts(text.substr(eq + 1), '\0', right))
        return false;
    if (left.size() < 2 || left.size() > 3 || right.size() != 1 || right[0].empty())
        return false;
    for (const std::string& part : left) {
        if (part.empty())
            return false;
    }
    rename = {};
    if (left.size() == 3)
        rename.Schema = left[0];
    rename.Table = left[left.size() - 2];
    rename.OldName = left.back();
    rename.NewName = right[0];
    error.clear();
    return true;
}

std::string ColumnRenameText(const ColumnRename& r) {
    return (r.Schema.empty() ? "" : r.Schema + ".") + r.Table + "." + r.OldName + "=" + r.NewName;
}

std::string CheckColumnRename(const SchemaModel& source, const SchemaModel& target,
                              const ColumnRename& rename, ColumnRename& resolved) {
    resolved = rename;
    const TableDef* t = nullptr;
    if (rename.Schema.empty()) {
        for (const TableDef& candidate : target.Tables) {
            if (!SameName(candidate.Name, rename.Table) ||
                !source.FindTable(candidate.Schema, candidate.Name))
                continue;
            if (t)
                return "tables " + Shown(t->Schema, t->Name) + " and " +
                       Shown(candidate.Schema, candidate.Name) +
                       " are both called that: name the schema (schema.table.column=name)";
            t = &candidate;
        }
    } else {
        t = target.FindTable(rename.Schema, rename.Table);
    }
    const TableDef* s = t ? source.FindTable(t->Schema, t->Name) : nullptr;
    if (!t || !s)
        return "no table " + (rename.Schema.empty() ? "" : rename.Schema + ".") + rename.Table +
               " differs between the databases";
    resolved.Schema = t->Schema;
    resolved.Table = t->Name;
    const std::string shown = Shown(t->Schema, t->Name);
    const ColumnDef* old = t->FindColumn(rename.OldName);
    if (!old || s->FindColumn(rename.OldName))
        return "the target's table " + shown + " has no column " + rename.OldName +
               " that the source's lacks";
    const ColumnDef* renamed = s->FindColumn(rename.NewName);
    if (!renamed || t->FindColumn(rename.NewName))
        return "the source's table " + shown + " has no column " + rename.NewName +
               " that the target's lacks";
    resolved.OldName = old->Name;
    resolved.NewName = renamed->Name;
    return "";
}

std::string ColumnRenameSql(const ColumnRename& r) {
    return "EXEC sp_rename " +
           UnicodeLiteral(QualifiedSql(r.Schema, r.Table) + "." + QuoteCatalogName(r.OldName)) +
           ", " + UnicodeLiteral(r.NewName) + ", 'COLUMN';";
}

SchemaModel TargetAfterRenames(const SchemaModel& target,
                               const std::vector<ColumnRename>& renames) {
    SchemaModel after = target;
    for (const ColumnRename& r : renames) {
        for (TableDef& t : after.Tables) {
            const bool own = SameName(t.Schema, r.Schema) && SameName(t.Name, r.Table);
            if (own) {
                for (ColumnDef& c : t.Columns) {
                    if (SameName(c.Name, r.OldName))
                        c.Name = r.NewName;
                }
                for (IndexDef& i : t.Indexes) {
                    for (IndexColumn& c : i.Columns) {
                        if (SameName(c.Name, r.OldName))
                            c.Name = r.NewName;
                    }
                }
                for (ForeignKeyDef& fk : t.ForeignKeys)
                    RenameIn(fk.Columns, r);
            }
            for (ForeignKeyDef& fk : t.ForeignKeys) {
                if (SameName(fk.RefSchema, r.Schema) && SameName(fk.RefTable, r.Table))
                    RenameIn(fk.RefColumns, r);
            }
        }
    }
    return after;
}

} // namespace orv
