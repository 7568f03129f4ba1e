#include "explore/data_analyzer.h"

#include "catalog/sql_quote.h"
#include "servers/exec_ado_cmd.h"
#include "util/text.h"

#include <algorithm>

namespace orv {

namespace {

// One query run to its end on the worker's connection, each row handed to `onRow`.
class Runner {
public:
    Runner(const QueryPlace& place, const CancelToken& cancel, AnalysisResults& results)
        : place_(place), cancel_(cancel), results_(results) {}

    template <typename OnRow> bool Run(const std::string& sql, OnRow onRow) {
        results_.Sent.push_back(sql);
        WorkerQuery query(cancel_);
        OdbcError error;
        bool ok = query.Open(place_, sql, error);
        Row row;
        while (ok && query.Next(row, error))
            onRow(query, row);
        ok = ok && error.number == 0;
        if (!ok && cancel_.cancelRequested()) {
            // Cut short by Stop: no failure of the server.
            results_.Outcome = RunOutcome::Cancelled;
        } else if (!ok) {
            results_.Outcome = RunOutcome::Failed;
            results_.Failure = ConnectionFailedText(error.number, error.description, sql);
        }
        query.Close();
        return ok;
    }

private:
    const QueryPlace& place_;
    const CancelToken& cancel_;
    AnalysisResults& results_;
};

std::string Cell(const WorkerQuery& q, const Row& row, const char* name) {
    const int i = q.FieldIndex(name);
    return i < 0 || static_cast<size_t>(i) >= row.size() ? std::string() : row[i].Text();
}

const FieldValue* Value(const WorkerQuery& q, const Row& row, const char* name) {
    const int i = q.FieldIndex(name);
    return i < 0 || static_cast<size_t>(i) >= row.size() ? nullptr : &row[i];
}

std::optional<int64_t> Whole(const WorkerQuery& q, const Row& row, const char* name) {
    const FieldValue* v = Value(q, row, name);
    if (!v || v->IsNull())
        return std::nullopt;
    return v->Long();
}

std::optional<std::string> TextOf(const WorkerQuery& q, const Row& row, const char* name) {
    const FieldValue* v = Value(q, row, name);
    if (!v || v->IsNull())
        return std::nullopt;
    return v->Text();
}

std::optional<double> RealOf(const WorkerQuery& q, const Row& row, const char* name) {
    const FieldValue* v = Value(q, row, name);
    if (!v || v->IsNull())
        return std::nullopt;
    if (v->kind == FieldValue::Kind::Float)
        return v->real;
    try {
        return std::stod(v->Text());
    } catch (...) {
        return std::nullopt;
    }
}

bool IsIgnored(const std::vector<std::string>& ignored, const std::string& column) {
    return std::any_of(ignored.begin(), ignored.end(),
                       [&](const std::string& i) { return EqualsNoCase(i, column); });
}

struct CatalogColumn {
    std::string name;
    std::string type;     // as declared (an alias type by its own name)
    std::string baseType; // the built-in type underneath
};

} // namespace

AnalysisResultsPtr AnalyzeTableData(const AnalysisRequest& request, ProgressSink& progress,
                                    const CancelToken& cancel) {
    auto results = std::make_shared<AnalysisResults>();
    results->Started = std::time(nullptr);
    results->Server = request.Place.Server.Name;
    results->Database = request.Place.Database;
    results->Table = request.TableName;
    Runner runner(request.Place, cancel, *results);
    const bool later = VersionMajorOf(request.Place.Server.Version) >= 9;
    auto stopped = [&] {
        if (!cancel.cancelRequested())
            return false;
        if (results->Outcome != RunOutcome::Failed)
            results->Outcome = RunOutcome::Cancelled;
        return true;
    };

    // The table's columns. By name, a listed "schema.name" is tried whole first (a name may
    // hold "."), then as schema and name.
    progress.Begin("Reading the columns of " + request.TableName, 0);
    std::vector<CatalogColumn> columns;
    auto readColumns = [&](int32_t id, const std::string& schema, const std::string& name) {
        int32_t firstId = 0;
        return runner.Run(AnalyzerColumnsQuery(id, schema, name, later), [&](const WorkerQuery& q,
                                                                             const Row& row) {
            const int32_t rowId = static_cast<int32_t>(Whole(q, row, "id").value_or(0));
            if (firstId == 0) {
                firstId = rowId;
                results->Schema = Cell(q, row, "schema");
                results->Table = Cell(q, row, "table");
            }
            // The same name in two schemas: the first table only.
            if (rowId == firstId)
                columns.push_back(
                    {Cell(q, row, "column"), Cell(q, row, "datatype"), Cell(q, row, "basetype")});
        });
    };
    if (!readColumns(request.ObjectId, "", request.TableName) || stopped())
        return results;
    const size_t dot = request.TableName.find('.');
    if (columns.empty() && request.ObjectId <= 0 && dot != std::string::npos) {
        if (!readColumns(0, request.TableName.substr(0, dot), request.TableName.substr(dot + 1)) ||
            stopped())
            return results;
    }
    if (columns.empty()) {
        results->Outcome = RunOutcome::Failed;
        results->Failure = "Table " + request.TableName + " does not exist in database " +
                           request.Place.Database + ".";
        return results;
    }

    const std::string table = results->Schema.empty() ? QuoteCatalogName(results->Table)
                                                      : QuoteCatalogName(results->Schema) + "." +
                                                            QuoteCatalogName(results->Table);
    std::vector<CatalogColumn> wanted;
    for (const CatalogColumn& c : columns) {
        if (IsIgnored(request.Ignored, c.name))
            results->Skipped.push_back(c.name);
        else
            wanted.push_back(c);
    }
    for (const std::string& s : results->Skipped)
        progress.Note("Column " + s + " is on the analysis ignore list; skipped.");

    progress.Begin("Analyzing " + results->Table, static_cast<int64_t>(wanted.size()));
    for (const CatalogColumn& c : wanted) {
        if (stopped())
            return results;
        ColumnProfile p;
        p.Name = c.name;
        p.Type = c.type;
        p.Class = ClassifyColumnType(c.baseType.empty() ? c.type : c.baseType);
        const bool ok = runner.Run(ColumnProfileQuery(table, c.name, p.Class),
                                   [&](const WorkerQuery& q, const Row& row) {
                                       p.Rows = Whole(q, row, "rows").value_or(0);
                                       p.Nulls = p.Rows - Whole(q, row, "values").value_or(0);
                                       p.Distinct = Whole(q, row, "distinct");
                                       p.Min = TextOf(q, row, "min");
                                       p.Max = TextOf(q, row, "max");
                                       p.AvgLength = RealOf(q, row, "avg_len");
                                       p.MaxLength = Whole(q, row, "max_len");
                                   });
        if (!ok || stopped())
            return results;
        const std::string top = TopValuesQuery(table, c.name, p.Class);
        if (!top.empty() && p.Rows > p.Nulls) {
            if (!runner.Run(top,
                            [&](const WorkerQuery& q, const Row& row) {
                                p.Top.push_back(
                                    {Cell(q, row, "value"), Whole(q, row, "count").value_or(0)});
                            }) ||
                stopped())
                return results;
        }
        p.Done = true;
        results->Columns.push_back(std::move(p));
        progress.Advance(1, c.name);
    }
    return results;
}

} // namespace orv
