#include "deploy/deploy_session.h"

#include "catalog/sql_quote.h"
#include "core/program_info.h"
#include "deploy/schema_reader.h"
#include "explore/module_references.h"

#include <algorithm>
#include <thread>

namespace orv {
namespace {

// Reads one side; run on a thread of its own for the source while the target is read.
struct SideRead {
    bool Ok = false;
    std::string Error;

    void Run(const QueryPlace& place, const SchemaReadRequest& request, const CancelToken& cancel,
             SchemaModel& model) {
        OdbcError error;
        std::string failedSql;
        ServerFacts facts;
        if (!ReadServerFacts(place, cancel, facts, error, failedSql) ||
            !ReadSchemaModel(place, facts, request, cancel, model, error, failedSql)) {
            Error = cancel.cancelRequested() ? std::string(kStoppedByUser)
                                             : "Reading the structure of " + place.Database +
                                                   " failed: " + error.description;
            return;
        }
        Ok = true;
    }
};

std::string ColumnKey(const std::string& schema, const std::string& table,
                      const std::string& column) {
    return UpperName(schema) + "." + UpperName(table) + "." + UpperName(column);
}

} // namespace

bool DeploySession::Prepare(const DbCompareRequest& request, const DbCompareResults& results,
                            ProgressSink& progress, const CancelToken& cancel, std::string& error) {
    request_ = request;
    for (int side = 0; side < 2; ++side) {
        serverName_[side] = results.ServerName[side];
        dbName_[side] = results.DbName[side];
    }
    offered_ = OfferedObjects(results);
    baseline_ = TargetBaseline(results);
    nullCounts_.clear();

    SchemaReadRequest read;
    std::vector<int32_t> ids[2];
    for (const PairVerdict& p : results.Pairs) {
        if (p.Status != PairStatus::Different && p.Status != PairStatus::OnlyInSource &&
            p.Status != PairStatus::OnlyInTarget)
            continue;
        if (p.HasSource && p.Source.Id != 0)
            ids[0].push_back(p.Source.Id);
        if (p.HasTarget && p.Target.Id != 0)
            ids[1].push_back(p.Target.Id);
    }
    for (const DeployObject& o : offered_) {
        if (o.Type == kTypeTable)
            read.Tables.emplace_back(o.Schema, o.Name);
        else if (IsModuleType(o.Type))
            read.Modules.emplace_back(o.Schema, o.Name);
        else
            read.Keys.emplace_back(o.Schema, o.Name);
    }
    progress.Begin("Reading the structure of both databases", 2);
    QueryPlace place[2];
    for (int side = 0; side < 2; ++side)
        place[side] = {request.Server[side], request.Database[side], request.TimeoutSeconds};
    SideRead sides[2];
    SchemaReadRequest reads[2] = {read, read};
    for (int side = 0; side < 2; ++side)
        reads[side].Ids = ids[side];
    std::thread source([&] { sides[0].Run(place[0], reads[0], cancel, source_); });
    sides[1].Run(place[1], reads[1], cancel, target_);
    source.join();
    for (const SideRead& side : sides) {
        if (!side.Ok) {
            error = side.Error;
            return false;
        }
    }
    progress.Advance(2, "");

    // The data-loss guard needs the NULLs of every target column the source makes NOT NULL.
    for (const DeployObject& o : offered_) {
        if (o.Type != kTypeTable || o.Status != PairStatus::Different)
            continue;
        const TableDef* t = target_.FindTable(o.Schema, o.Name);
        const TableDef* s = source_.FindTable(o.Schema, o.Name);
        if (!t || !s || t->RowCount == 0)
            continue;
        for (const ColumnDef& tc : t->Columns) {
            const ColumnDef* sc = s->FindColumn(tc.Name);
            if (!sc || !tc.Nullable || sc->Nullable)
                continue;
            OdbcError countError;
            const int64_t nulls =
                CountNullValues(place[1], cancel, t->Schema, t->Name, tc.Name, countError);
            if (nulls < 0 && cancel.cancelRequested()) {
                error = kStoppedByUser;
                return false;
            }
            nullCounts_[ColumnKey(t->Schema, t->Name, tc.Name)] = nulls;
        }
    }
    return true;
}

std::vector<DeployObject> DeploySession::DefaultIncluded() const {
    std::vector<DeployObject> included;
    for (const DeployObject& o : offered_) {
        if (TickedByDefault(o))
            included.push_back(o);
    }
    return included;
}

DeployScript DeploySession::Script(const std::vector<DeployObject>& included,
                                   const DeployOptions& options, std::time_t made) const {
    DeployInput in;
    in.Header.SourceServer = serverName_[0];
    in.Header.SourceDatabase = dbName_[0];
    in.Header.TargetServer = serverName_[1];
    in.Header.TargetDatabase = dbName_[1];
    in.Header.Made = made;
    in.Header.ProgramVersion = kProgramVersion;
    in.Source = &source_;
    in.Target = &target_;
    in.Included = included;
    for (const DeployObject& o : offered_) {
        const bool ticked =
            std::any_of(included.begin(), included.end(), [&](const DeployObject& i) {
                return i.Type == o.Type && SameName(i.Schema, o.Schema) && SameName(i.Name, o.Name);
            });
        if (!ticked)
            in.LeftOut.push_back(o);
    }
    in.Options = options;
    in.NullCount = [this](const TableDef& table, const std::string& column) -> int64_t {
        auto it = nullCounts_.find(ColumnKey(table.Schema, table.Name, column));
        return it == nullCounts_.end() ? -1 : it->second;
    };
    return BuildDeployScript(in);
}

TargetCheck DeploySession::CheckTarget(const std::vector<DeployObject>& included,
                                       ProgressSink& progress, const CancelToken& cancel) const {
    return orv::CheckTarget(request_, baseline_.Form(),
                            baseline_.Watched(included, RelatedObjects(source_, target_, included)),
                            progress, cancel);
}

bool VerifyDeployment(const DbCompareRequest& request, const std::vector<DeployObject>& included,
                      ProgressSink& progress, const CancelToken& cancel, DeployVerification& out,
                      std::string& error) {
    DbCompareRequest again = request;
    // The types of the included objects, in the comparison's order.
    again.Types.clear();
    for (ObjectType type : request.Types) {
        if (std::any_of(included.begin(), included.end(),
                        [&](const DeployObject& o) { return o.Type == type; }))
            again.Types.push_back(type);
    }
    out = DeployVerification();
    out.Total = static_cast<int64_t>(included.size());
    if (again.Types.empty()) {
        auto empty = std::make_shared<DbCompareResults>();
        out.Results = empty;
        return true;
    }
    out.Results = RunDbCompare(again, progress, cancel);
    if (!out.Results->Complete()) {
        error = out.Results->Problem;
        return false;
    }
    for (const DeployObject& o : included) {
        const PairVerdict* found = nullptr;
        for (const PairVerdict& p : out.Results->Pairs) {
            const ObjectRef& ref = p.HasSource ? p.Source : p.Target;
            if (p.Type == o.Type && SameName(ref.Schema, o.Schema) && SameName(ref.Name, o.Name)) {
                found = &p;
                break;
            }
        }
        // A dropped object matches when it is gone from both sides.
        if (o.Status == PairStatus::OnlyInTarget ? !found
                                                 : found && found->Status == PairStatus::Identical)
            ++out.Matching;
    }
    return true;
}

std::string VerificationText(const DeployVerification& verification) {
    const std::string total = std::to_string(verification.Total);
    if (verification.AllMatch())
        return "Target now matches Source: " + total + " of " + total + " objects";
    std::string text =
        "Target still differs from Source: " + std::to_string(verification.Matching) + " of " +
        total + " objects match";
    if (verification.Results) {
        for (const PairVerdict& p : verification.Results->Pairs) {
            if (p.Status == PairStatus::Identical)
                continue;
            const ObjectRef& ref = p.HasSource ? p.Source : p.Target;
            std::string type = GetObjectTypeName(p.Type, true);
            for (char& c : type)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            text +=
                "\n  " + type + " " + ref.Schema + "." + ref.Name + ": " + PairStatusWord(p.Status);
        }
    }
    return text;
}

} // namespace orv
