#include "catalog/bulk_catalog.h"

#include "catalog/bulk_queries.h"
#include "catalog/catalog_keys.h"
#include "catalog/key_scripts.h"
#include "catalog/listing.h"
#include "catalog/object_text.h"
#include "catalog/schemas.h"
#include "catalog/table_script.h"
#include "catalog/table_script_complete.h"
#include "servers/exec_ado_cmd.h"
#include "util/memory_text_view.h"
#include "util/text.h"

#include <algorithm>
#include <unordered_map>

namespace orv {

namespace {

constexpr const char* kReasonVanished = "no longer in the database";

std::string ListingKey(ObjectType type, bool ignoreSysObjects) {
    return "listing of " + GetObjectTypeName(type, false) +
           (ignoreSysObjects ? "" : " with system objects");
}

std::string ModuleTextsKey(ObjectType type) {
    return "texts of " + GetObjectTypeName(type, false);
}

} // namespace

std::string FingerprintsKey(ObjectType type, FingerprintForm form) {
    return "fingerprints of " + GetObjectTypeName(type, false) +
           (form == FingerprintForm::WholeModule ? " by whole module" : " by comment rows");
}

namespace {

// The text as a panel's view gives it back: every line break as CR LF.
std::string ViewForm(const std::string& text) {
    MemoryTextView view;
    view.SetText(text);
    return view.Text();
}

// Column positions by name, found once per result.
class Columns {
public:
    explicit Columns(const std::vector<FieldInfo>& fields) : fields_(fields) {}
    size_t operator()(const char* name) const {
        for (size_t i = 0; i < fields_.size(); ++i)
            if (EqualsNoCase(fields_[i].name, name))
                return i;
        return fields_.size();
    }

private:
    const std::vector<FieldInfo>& fields_;
};

const FieldValue& Cell(const Row& row, size_t index) {
    static const FieldValue null;
    return index < row.size() ? row[index] : null;
}

bool HasIdentityColumn(const std::vector<FieldInfo>& fields, const std::vector<Row>& rows) {
    const size_t isId = Columns(fields)("isID");
    for (const Row& row : rows)
        if (Cell(row, isId).Text() == "Y")
            return true;
    return false;
}

} // namespace

BulkCatalogReader::BulkCatalogReader(QueryPlace place, ServerFacts facts,
                                     CatalogReadOptions options, const CancelToken& cancel,
                                     std::function<void(const std::string&)> progress)
    : ownRows_(std::make_unique<LiveCatalogRows>(std::move(place), cancel)), rows_(*ownRows_),
      facts_(facts), options_(options), cancel_(cancel), progress_(std::move(progress)) {}

BulkCatalogReader::BulkCatalogReader(CatalogRows& rows, ServerFacts facts,
                                     CatalogReadOptions options, const CancelToken& cancel,
                                     std::function<void(const std::string&)> progress)
    : rows_(rows), facts_(facts), options_(options), cancel_(cancel),
      progress_(std::move(progress)) {}

bool BulkCatalogReader::Run(const std::string& key, const std::string& sql,
                            const CatalogRowSink& onRow, OdbcError& error, std::string& failedSql) {
    const bool ok = rows_.Rows(key, sql, onRow, error);
    if (!ok)
        failedSql = sql;
    return ok;
}

bool BulkCatalogReader::RunAll(const std::string& key, const std::string& sql,
                               std::vector<FieldInfo>& fields, std::vector<Row>& rows,
                               OdbcError& error, std::string& failedSql) {
    return Run(
        key, sql,
        [&](const std::vector<FieldInfo>& given, Row& row) {
            if (fields.empty())
                fields = given;
            rows.push_back(std::move(row));
        },
        error, failedSql);
}

bool BulkCatalogReader::Prefetch(const std::vector<std::string>& statements, OdbcError& error,
                                 std::string& failedSql) {
    const bool ok = rows_.Prefetch(statements, error);
    if (!ok)
        failedSql = statements.empty() ? std::string() : statements.front();
    return ok;
}

std::vector<std::string> BulkCatalogReader::PlannedStatements(ObjectType type,
                                                              FingerprintForm form) const {
    switch (type) {
    case kTypeProcedure:
    case kTypeFunction:
    case kTypeView:
    case kTypeTrigger:
        if (form != FingerprintForm::None)
            return {BulkFingerprintQuery(type, form, facts_.Later())};
        return {BulkListingQuery(type, options_.IgnoreSysObjects, facts_.Later()),
                BulkModuleTextQuery(type)};
    case kTypeTable: {
        std::vector<std::string> planned = {
            BulkListingQuery(type, options_.IgnoreSysObjects, facts_.Later()),
            BulkTableColumnsQuery()};
        if (options_.CompleteTableScripts) {
            if (!options_.IgnoreIndexes)
                planned.push_back(TableIndexRowsQuery("", -1, false, facts_.VersionMajor));
            planned.push_back(TableConstraintsQuery("", -1, facts_.VersionMajor));
        } else if (!options_.IgnoreIndexes) {
            planned.push_back(BulkTableIndexesQuery());
        }
        return planned;
    }
    case kTypeRelationship:
        if (options_.CompleteTableScripts)
            return {BulkRelationshipsQuery(facts_.Later()),
                    ForeignKeyColumnsQuery("", facts_.VersionMajor, -1)};
        return {BulkRelationshipsQuery(facts_.Later())};
    case kTypeConstraint:
        return {BulkConstraintsQuery(facts_.Later())};
    default:
        return {};
    }
}

void BulkCatalogReader::Built(const CatalogObject& object) {
    if (progress_)
        progress_(object.ListedName);
}

void BulkCatalogReader::QualifyListedNames(CatalogTypeRead& out) const {
    if (!facts_.Later())
        return;
    std::vector<TwoStr> entries;
    entries.reserve(out.Objects.size());
    std::unordered_map<int32_t, const std::string*> schemaById;
    for (const CatalogObject& o : out.Objects) {
        entries.push_back({o.Ref.Name, o.Ref.Modified, o.Ref.Id, ""});
        schemaById.emplace(o.Ref.Id, &o.Ref.Schema);
    }
    const auto count = static_cast<int32_t>(entries.size());
    if (!AreDuplicatesInArr_TwoStr(entries, count))
        return;
    QualifyDuplicateNames(entries, count, [&](TwoStr& entry) {
        const auto it = schemaById.find(entry.Id);
        if (it != schemaById.end() && !it->second->empty())
            entry.Schema = *it->second;
        return true;
    });
    for (size_t i = 0; i < entries.size(); ++i)
        out.Objects[i].ListedName = entries[i].Name;
}

bool BulkCatalogReader::ReadListing(ObjectType type, CatalogTypeRead& out, OdbcError& error,
                                    std::string& failedSql) {
    return Run(
        ListingKey(type, options_.IgnoreSysObjects),
        BulkListingQuery(type, options_.IgnoreSysObjects, facts_.Later()),
        [&](const std::vector<FieldInfo>&, Row& row) {
            CatalogObject o;
            o.Ref.Name = Cell(row, 0).Text();
            o.Ref.Modified = ToUpperAscii(Cell(row, 1).Text());
            o.Ref.Id = static_cast<int32_t>(Cell(row, 2).Long());
            o.Ref.Schema = Cell(row, 3).Text();
            o.ListedName = o.Ref.Name;
            out.Objects.push_back(std::move(o));
        },
        error, failedSql);
}

bool BulkCatalogReader::ReadType(ObjectType type, CatalogTypeRead& out, OdbcError& error,
                                 std::string& failedSql) {
    out = CatalogTypeRead{};
    out.Type = type;
    switch (type) {
    case kTypeProcedure:
    case kTypeFunction:
    case kTypeView:
    case kTypeTrigger:
        if (!ReadListing(type, out, error, failedSql))
            return false;
        QualifyListedNames(out);
        return ReadModules(out, error, failedSql);
    case kTypeTable:
        if (!ReadListing(type, out, error, failedSql))
            return false;
        QualifyListedNames(out);
        return ReadTables(out, error, failedSql);
    case kTypeRelationship:
        return ReadRelationships(out, error, failedSql);
    case kTypeConstraint:
        return ReadConstraints(out, error, failedSql);
    default:
        return true;
    }
}

bool BulkCatalogReader::ReadModules(CatalogTypeRead& out, OdbcError& error,
                                    std::string& failedSql) {
    std::unordered_map<int32_t, size_t> indexById;
    for (size_t i = 0; i < out.Objects.size(); ++i)
        indexById.emplace(out.Objects[i].Ref.Id, i);
    return ReadModuleRows(ModuleTextsKey(out.Type), BulkModuleTextQuery(out.Type), out, indexById,
                          error, failedSql);
}

bool BulkCatalogReader::ReadAllTexts(CatalogTypeRead& out, OdbcError& error,
                                     std::string& failedSql) {
    return ReadModules(out, error, failedSql);
}

bool BulkCatalogReader::ReadModuleRows(const std::string& key, const std::string& sql,
                                       CatalogTypeRead& out,
                                       const std::unordered_map<int32_t, size_t>& indexById,
                                       OdbcError& error, std::string& failedSql) {
    struct Stored {
        std::string text;
        bool encrypted = false;
        bool rows = false;
    };
    std::unordered_map<int32_t, Stored> stored;
    stored.reserve(indexById.size());
    bool located = false;
    size_t idCol = 0, textCol = 0, encryptedCol = 0;
    if (!Run(
            key, sql,
            [&](const std::vector<FieldInfo>& fields, Row& row) {
                if (!located) {
                    const Columns col(fields);
                    idCol = col("id");
                    textCol = col("text");
                    encryptedCol = col("encrypted");
                    located = true;
                }
                const auto id = static_cast<int32_t>(Cell(row, idCol).Long());
                if (!indexById.count(id))
                    return;
                Stored& s = stored[id];
                s.rows = true;
                s.encrypted = s.encrypted || Cell(row, encryptedCol).Long() != 0;
                s.text += Cell(row, textCol).Text();
            },
            error, failedSql))
        return false;
    // In the listing's order, so progress names the objects as the list shows them.
    std::vector<std::pair<size_t, int32_t>> order;
    order.reserve(indexById.size());
    for (const auto& [id, index] : indexById)
        order.emplace_back(index, id);
    std::sort(order.begin(), order.end());
    for (const auto& [index, id] : order) {
        CatalogObject& o = out.Objects[index];
        Stored& s = stored[id];
        const std::string text = TrimWhitespaceAndBreaks(s.text);
        std::string().swap(s.text);
        o.TextRead = true;
        o.Readable = true;
        o.Reason.clear();
        if (s.encrypted) {
            o.Readable = false;
            o.Reason = kReasonEncrypted;
        } else if (!s.rows || text.empty()) {
            // No stored text: never written, NULL, or the object went after it was listed.
            o.Readable = false;
            o.Reason = kReasonNoText;
        } else {
            o.Text = ViewForm(text);
        }
        Built(o);
    }
    return true;
}

bool BulkCatalogReader::ReadFingerprints(ObjectType type, FingerprintForm form,
                                         CatalogTypeRead& out, OdbcError& error,
                                         std::string& failedSql) {
    out = CatalogTypeRead{};
    out.Type = type;
    bool located = false;
    size_t idCol = 0, nameCol = 0, dateCol = 0, schemaCol = 0, lengthCol = 0, printCol = 0,
           encryptedCol = 0;
    // A fingerprint is trusted only when every piece of the text gave one.
    std::vector<bool> trusted;
    if (!Run(
            FingerprintsKey(type, form), BulkFingerprintQuery(type, form, facts_.Later()),
            [&](const std::vector<FieldInfo>& fields, Row& row) {
                if (!located) {
                    const Columns col(fields);
                    idCol = col("id");
                    nameCol = col("name");
                    dateCol = col("refdate");
                    schemaCol = col("schema");
                    lengthCol = col("textlength");
                    printCol = col("fingerprint");
                    encryptedCol = col("encrypted");
                    located = true;
                }
                const auto id = static_cast<int32_t>(Cell(row, idCol).Long());
                if (out.Objects.empty() || out.Objects.back().Ref.Id != id) {
                    CatalogObject o;
                    o.Ref.Name = Cell(row, nameCol).Text();
                    o.Ref.Modified = ToUpperAscii(Cell(row, dateCol).Text());
                    o.Ref.Id = id;
                    o.Ref.Schema = Cell(row, schemaCol).Text();
                    o.ListedName = o.Ref.Name;
                    o.TextRead = false;
                    out.Objects.push_back(std::move(o));
                    trusted.push_back(true);
                }
                CatalogObject& o = out.Objects.back();
                const FieldValue& print = Cell(row, printCol);
                if (print.IsNull() || Cell(row, encryptedCol).Long() != 0) {
                    trusted.back() = false;
                    return;
                }
                // The pieces' digests in order make the text's fingerprint: equal texts are
                // cut into equal pieces, so equal texts give equal sequences.
                o.Fingerprint += print.kind == FieldValue::Kind::Binary ? print.text : print.Text();
                o.TextLength += Cell(row, lengthCol).Long();
            },
            error, failedSql))
        return false;
    for (size_t i = 0; i < out.Objects.size(); ++i)
        if (!trusted[i])
            out.Objects[i].Fingerprint.clear();
    QualifyListedNames(out);
    return true;
}

bool BulkCatalogReader::ReadNames(ObjectType type, CatalogTypeRead& out, OdbcError& error,
                                  std::string& failedSql) {
    out = CatalogTypeRead{};
    out.Type = type;
    if (!ReadListing(type, out, error, failedSql))
        return false;
    for (CatalogObject& o : out.Objects)
        o.TextRead = false;
    QualifyListedNames(out);
    return true;
}

namespace {
// Long enough to fetch the differences of a nearly equal pair in one round trip, short enough
// to keep the statement a few kilobytes.
constexpr size_t kTextBatch = 1000;
} // namespace

std::vector<std::string> BulkCatalogReader::TextStatements(const CatalogTypeRead& out,
                                                           const std::vector<size_t>& which) {
    std::vector<std::string> statements;
    for (size_t start = 0; start < which.size(); start += kTextBatch) {
        std::vector<int32_t> ids;
        for (size_t k = start; k < which.size() && k < start + kTextBatch; ++k)
            ids.push_back(out.Objects[which[k]].Ref.Id);
        statements.push_back(ModuleTextsByIdQuery(ids));
    }
    return statements;
}

bool BulkCatalogReader::ReadTexts(CatalogTypeRead& out, const std::vector<size_t>& which,
                                  OdbcError& error, std::string& failedSql) {
    constexpr size_t kBatch = kTextBatch;
    for (size_t start = 0; start < which.size(); start += kBatch) {
        std::unordered_map<int32_t, size_t> indexById;
        std::vector<int32_t> ids;
        for (size_t k = start; k < which.size() && k < start + kBatch; ++k) {
            indexById.emplace(out.Objects[which[k]].Ref.Id, which[k]);
            ids.push_back(out.Objects[which[k]].Ref.Id);
        }
        if (!ReadModuleRows("", ModuleTextsByIdQuery(ids), out, indexById, error, failedSql))
            return false;
    }
    return true;
}

bool BulkCatalogReader::ReadTables(CatalogTypeRead& out, OdbcError& error, std::string& failedSql) {
    std::unordered_map<int32_t, size_t> indexById;
    for (size_t i = 0; i < out.Objects.size(); ++i)
        indexById.emplace(out.Objects[i].Ref.Id, i);
    auto objectOf = [&](const Row& row, size_t idCol) -> CatalogObject* {
        const auto it = indexById.find(static_cast<int32_t>(Cell(row, idCol).Long()));
        return it == indexById.end() ? nullptr : &out.Objects[it->second];
    };

    size_t tableIdCol = 0;
    bool located = false;
    if (!Run(
            kKeyTableColumns, BulkTableColumnsQuery(),
            [&](const std::vector<FieldInfo>& fields, Row& row) {
                if (!located) {
                    out.ColumnFields = fields;
                    tableIdCol = Columns(out.ColumnFields)("tableid");
                    located = true;
                }
                if (CatalogObject* o = objectOf(row, tableIdCol))
                    o->ColumnRows.push_back(std::move(row));
            },
            error, failedSql))
        return false;

    // A name holding "." has its identity seed read by its qualified name: that table's column
    // rows come from the panel's own query for it.
    for (CatalogObject& o : out.Objects) {
        if (o.ColumnRows.empty() ||
            !IdentityByQualifiedName(o.ListedName, o.Ref.Id, BracketedNames::AsStored) ||
            !HasIdentityColumn(out.ColumnFields, o.ColumnRows))
            continue;
        std::string qualified = ExtendedNameFromCatalog(o.Ref.Schema, o.Ref.Name, facts_.Later());
        if (qualified.empty())
            qualified = o.ListedName;
        std::vector<Row> rows;
        if (!Run(
                std::string(kKeyTableColumns) + " of " + std::to_string(o.Ref.Id),
                TableColumnsQuery(o.ListedName, qualified, o.Ref.Id),
                [&](const std::vector<FieldInfo>&, Row& row) {
                    row.insert(row.begin(), FieldValue::Int(o.Ref.Id));
                    rows.push_back(std::move(row));
                },
                error, failedSql))
            return false;
        o.ColumnRows = std::move(rows);
    }

    // Rows of a whole-database query, kept per table by their leading table id.
    struct TableRows {
        std::vector<FieldInfo> fields;
        std::unordered_map<int32_t, std::vector<Row>> rows;
    };
    auto readPerTable = [&](const char* key, const std::string& sql, TableRows& into) {
        size_t idCol = 0;
        return Run(
            key, sql,
            [&](const std::vector<FieldInfo>& fields, Row& row) {
                if (into.fields.empty()) {
                    into.fields = fields;
                    idCol = Columns(into.fields)("tableid");
                }
                if (CatalogObject* o = objectOf(row, idCol))
                    into.rows[o->Ref.Id].push_back(std::move(row));
            },
            error, failedSql);
    };

    if (options_.CompleteTableScripts) {
        // The complete form: every table's own index rows and constraint rows, in one query each.
        const ConstraintNaming naming{options_.IgnoreSystemConstraintNames, facts_.VersionMajor};
        TableRows indexes;
        TableRows constraints;
        if (!options_.IgnoreIndexes &&
            !readPerTable(kKeyCompleteIndexes,
                          TableIndexRowsQuery("", -1, false, facts_.VersionMajor), indexes))
            return false;
        if (!readPerTable(kKeyCompleteConstraints,
                          TableConstraintsQuery("", -1, facts_.VersionMajor), constraints))
            return false;
        for (CatalogObject& o : out.Objects) {
            if (o.ColumnRows.empty())
                continue;
            std::string extras;
            if (!options_.IgnoreIndexes) {
                MemoryRecordset rs(indexes.fields, std::move(indexes.rows[o.Ref.Id]));
                extras = BuildCompleteIndexPart(rs, naming);
            }
            MemoryRecordset rs(constraints.fields, std::move(constraints.rows[o.Ref.Id]));
            o.AfterColumns = extras + BuildConstraintLines(rs, naming);
        }
    } else if (!options_.IgnoreIndexes) {
        TableRows indexes;
        if (!readPerTable(kKeyTableIndexes, BulkTableIndexesQuery(), indexes))
            return false;
        for (auto& [id, rows] : indexes.rows) {
            MemoryRecordset rs(indexes.fields, std::move(rows));
            out.Objects[indexById.at(id)].AfterColumns = BuildIndexPart(rs);
        }
    }

    for (CatalogObject& o : out.Objects) {
        if (o.ColumnRows.empty()) {
            o.Readable = false;
            o.Reason = kReasonVanished;
        } else {
            o.Text = ViewForm(TableTextWithout(out, o, {}));
        }
        Built(o);
    }
    return true;
}

std::string BulkCatalogReader::TableTextWithout(const CatalogTypeRead& read,
                                                const CatalogObject& table,
                                                const std::vector<std::string>& ignored) {
    MemoryRecordset rs(read.ColumnFields, table.ColumnRows);
    std::string columnsText;
    std::vector<ColumnInfo> columns;
    BuildColumnLines(rs, ignored, "", columnsText, columns);
    return JoinTableScript(columnsText, table.AfterColumns);
}

bool BulkCatalogReader::ReadRelationships(CatalogTypeRead& out, OdbcError& error,
                                          std::string& failedSql) {
    std::vector<FieldInfo> fields;
    std::vector<Row> rows;
    if (!RunAll(kKeyRelationships, BulkRelationshipsQuery(facts_.Later()), fields, rows, error,
                failedSql))
        return false;
    // The complete form lists every column pair of each key.
    std::vector<FieldInfo> pairFields;
    std::unordered_map<int64_t, std::vector<Row>> pairsByKey;
    if (options_.CompleteTableScripts) {
        size_t constCol = 0;
        if (!Run(
                kKeyForeignKeyColumns, ForeignKeyColumnsQuery("", facts_.VersionMajor, -1),
                [&](const std::vector<FieldInfo>& fields, Row& row) {
                    if (pairFields.empty()) {
                        pairFields = fields;
                        constCol = Columns(pairFields)("constid");
                    }
                    pairsByKey[Cell(row, constCol).Long()].push_back(std::move(row));
                },
                error, failedSql))
            return false;
    }
    const Columns col(fields);
    const size_t nameCol = col("foreignkey"), dateCol = col("refdate"), idCol = col("id"),
                 schemaCol = col("schema");
    for (Row& row : rows) {
        CatalogObject o;
        o.Ref.Name = Cell(row, nameCol).Text();
        o.Ref.Modified = ToUpperAscii(Cell(row, dateCol).Text());
        o.Ref.Id = static_cast<int32_t>(Cell(row, idCol).Long());
        o.Ref.Schema = Cell(row, schemaCol).Text();
        o.ListedName = o.Ref.Name;
        MemoryRecordset first(fields, {std::move(row)});
        if (options_.CompleteTableScripts) {
            MemoryRecordset pairs(pairFields, std::move(pairsByKey[o.Ref.Id]));
            o.Text = BuildCompleteRelationshipText(first, pairs);
        } else {
            o.Text = BuildRelationshipText(first);
        }
        o.Text = ViewForm(TrimWhitespaceAndBreaks(o.Text));
        out.Objects.push_back(std::move(o));
    }
    QualifyListedNames(out);
    for (const CatalogObject& o : out.Objects)
        Built(o);
    return true;
}

bool BulkCatalogReader::ReadConstraints(CatalogTypeRead& out, OdbcError& error,
                                        std::string& failedSql) {
    std::vector<FieldInfo> fields;
    std::vector<Row> rows;
    if (!RunAll(kKeyConstraints, BulkConstraintsQuery(facts_.Later()), fields, rows, error,
                failedSql))
        return false;
    const Columns col(fields);
    const size_t nameCol = col("name"), dateCol = col("refdate"), idCol = col("id"),
                 schemaCol = col("schema");
    for (size_t i = 0; i < rows.size();) {
        Row& row = rows[i];
        CatalogObject o;
        o.Ref.Name = Cell(row, nameCol).Text();
        o.Ref.Modified = ToUpperAscii(Cell(row, dateCol).Text());
        o.Ref.Id = static_cast<int32_t>(Cell(row, idCol).Long());
        o.Ref.Schema = Cell(row, schemaCol).Text();
        o.ListedName = o.Ref.Name;
        // The text names the key's first column; the further rows of the key go.
        size_t next = i + 1;
        while (next < rows.size() && Cell(rows[next], nameCol).Text() == o.Ref.Name &&
               Cell(rows[next], idCol).Long() == o.Ref.Id)
            ++next;
        MemoryRecordset first(fields, {std::move(row)});
        o.Text = ViewForm(TrimWhitespaceAndBreaks(BuildConstraintText(first)));
        out.Objects.push_back(std::move(o));
        i = next;
    }
    QualifyListedNames(out);
    for (const CatalogObject& o : out.Objects)
        Built(o);
    return true;
}

} // namespace orv
