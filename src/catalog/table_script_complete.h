// The complete form of table and relationship scripts, used when the setting
// CompleteTableScripts is on: indexes say whether they are unique and which constraint owns them,
// every default, CHECK and UNIQUE constraint of the table gets a line of its own, and a
// relationship shows all of its column pairs. The plain form stays exactly as it always was.
#pragma once

#include "servers/recordset.h"
#include "servers/server_entry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orv {

// How the complete form writes the names of constraints. A name the server generated for an
// unnamed constraint differs from database to database (and changes whenever the table is
// rebuilt), so with IgnoreSystemNames such a constraint is written without its name: the
// comparison then looks at what the constraint does, and a CREATE statement lets the server
// generate a fresh name. Later servers flag these names in their catalog views
// (is_system_named); SQL Server 2000 (VersionMajor 8, or unknown) has no flag, so its names are
// recognised by their generated shape.
struct ConstraintNaming {
    bool IgnoreSystemNames = false;
    int VersionMajor = 0;
};

// The shape SQL Server gives the name of an unnamed constraint: its kind (PK, UQ, DF, CK or FK),
// "__", the start of the table's name, "__", for a column's constraint the start of the
// column's name and "__", then the object id as 8 upper-case hex digits (16 for the keys of
// later servers).
bool LooksLikeGeneratedConstraintName(const std::string& name);

// One index of a table as the complete form sees it.
struct ScriptedIndex {
    int64_t IndexId = 0;
    std::string Name;
    bool Unique = false;
    // "PK" or "UQ" when a constraint owns the index, else empty.
    std::string ConstraintType;
    // False when the name of the owning constraint is left out (see ConstraintNaming).
    bool NameWritten = true;
    std::vector<std::string> Columns; // in key order
};

// One default (Kind 1), CHECK (2) or UNIQUE (3) constraint of a table.
struct TableConstraint {
    int64_t Kind = 0;
    std::string Name;
    bool NameWritten = true;
    std::string Column;               // a default's column
    std::string Definition;           // a default's or check's text as the server keeps it
    std::vector<std::string> Columns; // a unique constraint's columns in key order
};

// The rows (column, index, indid, keyno, isunique, constrainttype and, on later servers,
// systemnamed) of a table's own indexes, read from the table's index rows whether or not other
// objects hang on the table. By id when it is positive, else by name; clusteredOnly keeps
// index 1 alone.
std::string TableIndexRowsQuery(const std::string& tableName, int32_t tableId, bool clusteredOnly,
                                int versionMajor = 8);

// The indexes in the rows above, in index id order.
std::vector<ScriptedIndex> ReadTableIndexes(Recordset& rows, const ConstraintNaming& naming = {});

// "CONSTRAINT [pk] PRIMARY KEY CLUSTERED|NONCLUSTERED (...)" for a primary key (without its
// CONSTRAINT part when the name is left out), otherwise "[UNIQUE ][CLUSTERED ]INDEX [name] (...)"
// (without " [name]" when it is left out).
std::string CompleteIndexLine(const ScriptedIndex& index);

// One line per index from the rows above, each ending with a line break; empty when no rows.
std::string BuildCompleteIndexPart(Recordset& rows, const ConstraintNaming& naming = {});

// The rows (kind, name, column, definition, seq, systemnamed) of a table's defaults (kind 1),
// CHECK constraints (2) and UNIQUE constraints (3), ordered by kind, name and seq: from the
// system tables on SQL Server 2000, from the catalog views on later servers.
std::string TableConstraintsQuery(const std::string& tableName, int32_t tableId, int versionMajor);

// The constraints in the rows above, in kind and name order. Those written without their names
// are placed by what they say, so two databases list them alike whatever names they got.
std::vector<TableConstraint> ReadTableConstraints(Recordset& rows,
                                                  const ConstraintNaming& naming = {});

// "CONSTRAINT [df] DEFAULT (...) FOR [column]", "CONSTRAINT [ck] CHECK (...)",
// "CONSTRAINT [uq] UNIQUE ([a], [b])"; without the CONSTRAINT part when the name is left out.
std::string CompleteConstraintLine(const TableConstraint& constraint);

// One line per constraint, each ending with a line break.
std::string BuildConstraintLines(Recordset& rows, const ConstraintNaming& naming = {});

// The part after the column lines in the complete form: the index lines (unless indexes are left
// out) and the constraint lines. Throws CatalogError when a query failed.
std::string GetCompleteTableExtras(const ServerEntry& server, const std::string& tableName,
                                   const std::string& database, int32_t tableId, bool withIndexes,
                                   bool ignoreSystemNames);

// The column pairs of a foreign key (constid, tablename, foreigncolumn, referencedcolumn), in
// key order, by key name, by the key's id when `keyId` is positive, or of every key when it is
// negative.
std::string ForeignKeyColumnsQuery(const std::string& keyName, int versionMajor, int32_t keyId = 0);

// The relationship text with every column pair of the key the first row names: the FOREIGN KEY
// line lists the referencing columns and the REFERENCES line the referenced table and columns,
// each list joined by ", ". With one pair the text is that of the plain form.
std::string BuildCompleteRelationshipText(const Recordset& first, Recordset& pairs);

} // namespace orv
