#include "deploy/target_check.h"

#include "catalog/bulk_catalog.h"
#include "deploy/deploy_plan.h"
#include "util/text.h"

#include <algorithm>
#include <functional>
#include <set>

namespace orv {
namespace {

// A table's text is its column lines, a blank line, then its indexes, keys and constraints.
constexpr const char* kPartBreak = "\r\n\r\n";

void Digest(ObjectType type, const std::string& text, size_t& columns, size_t& rest) {
    const std::hash<std::string> hash;
    const size_t cut = type == kTypeTable ? text.find(kPartBreak) : std::string::npos;
    if (cut == std::string::npos) {
        columns = hash(text);
        rest = hash(std::string());
        return;
    }
    columns = hash(text.substr(0, cut));
    rest = hash(text.substr(cut + 4));
}

std::string LowerTypeName(ObjectType type) {
    return ToLowerAscii(GetObjectTypeName(type, true));
}

} // namespace

TargetBaseline::TargetBaseline(const DbCompareResults& results) : form_(results.Fingerprints) {
    seen_.reserve(results.Pairs.size());
    for (const PairVerdict& p : results.Pairs) {
        TargetSeen s;
        s.Type = p.Type;
        const ObjectRef& ref = p.HasTarget ? p.Target : p.Source;
        s.Schema = ref.Schema;
        s.Name = ref.Name;
        s.Present = p.HasTarget;
        if (p.HasTarget) {
            s.Fingerprint = p.TargetFingerprint;
            // A pair the fingerprints found identical has no text read on either side.
            s.TextKnown = p.TextsRead;
            if (s.TextKnown)
                Digest(p.Type, p.TargetText, s.ColumnsDigest, s.RestDigest);
        }
        byName_[NameKey(s.Schema, s.Name)].push_back(seen_.size());
        seen_.push_back(std::move(s));
    }
}

std::vector<TargetSeen>
TargetBaseline::Watched(const std::vector<DeployObject>& included,
                        const std::vector<std::pair<std::string, std::string>>& related) const {
    std::vector<bool> taken(seen_.size(), false);
    std::vector<TargetSeen> watched;
    auto take = [&](size_t i) {
        if (!taken[i])
            watched.push_back(seen_[i]);
        taken[i] = true;
    };
    for (const DeployObject& o : included) {
        const auto it = byName_.find(NameKey(o.Schema, o.Name));
        if (it == byName_.end())
            continue;
        for (size_t i : it->second)
            if (seen_[i].Type == o.Type)
                take(i);
    }
    for (const auto& name : related) {
        const auto it = byName_.find(NameKey(name.first, name.second));
        if (it != byName_.end())
            for (size_t i : it->second)
                take(i);
    }
    return watched;
}

std::vector<std::pair<std::string, std::string>>
RelatedObjects(const SchemaModel& source, const SchemaModel& target,
               const std::vector<DeployObject>& included) {
    std::vector<std::pair<std::string, std::string>> related;
    // A name written in one part means the module's own schema or dbo.
    auto add = [&](const std::string& schema, const std::string& name,
                   const std::string& ownSchema) {
        if (!schema.empty()) {
            related.emplace_back(schema, name);
            return;
        }
        related.emplace_back(ownSchema, name);
        related.emplace_back("dbo", name);
    };
    std::set<std::string> includedNames;
    for (const DeployObject& o : included)
        includedNames.insert(NameKey(o.Schema, o.Name));
    const SchemaModel* sides[2] = {&source, &target};
    for (const DeployObject& o : included) {
        for (const SchemaModel* side : sides) {
            if (side == &source && o.Status == PairStatus::OnlyInTarget)
                continue;
            if (const ModuleDef* m = side->FindModule(o.Schema, o.Name)) {
                for (const auto& [schema, name] : m->DependsOn)
                    add(schema, name, m->Schema);
                if (!m->ParentName.empty())
                    add(m->ParentSchema, m->ParentName, m->Schema);
            }
            if (const TableDef* t = side->FindTable(o.Schema, o.Name)) {
                for (const ForeignKeyDef& fk : t->ForeignKeys) {
                    related.emplace_back(t->Schema, fk.Name);
                    add(fk.RefSchema, fk.RefTable, t->Schema);
                }
            }
        }
    }
    // What stands on an included object in the Target: its triggers, the modules that use it
    // (schema-bound ones are dropped and made again around a table change) and the tables
    // whose foreign keys point at it.
    for (const ModuleDef& m : target.Modules) {
        bool uses = includedNames.count(NameKey(m.ParentSchema, m.ParentName)) > 0;
        for (const auto& [schema, name] : m.DependsOn)
            uses = uses || includedNames.count(NameKey(schema.empty() ? m.Schema : schema, name));
        if (uses)
            related.emplace_back(m.Schema, m.Name);
    }
    for (const TableDef& t : target.Tables) {
        for (const ForeignKeyDef& fk : t.ForeignKeys) {
            if (includedNames.count(NameKey(fk.RefSchema, fk.RefTable)) ||
                includedNames.count(NameKey(t.Schema, fk.Name))) {
                related.emplace_back(t.Schema, t.Name);
                related.emplace_back(t.Schema, fk.Name);
            }
        }
    }
    return related;
}

namespace {

class Checker {
public:
    Checker(const DbCompareRequest& request, FingerprintForm form, ProgressSink& progress,
            const CancelToken& cancel, TargetCheck& out)
        : request_(request), form_(form), progress_(progress), cancel_(cancel), out_(out) {
        place_.Server = request.Server[1];
        place_.Database = request.Database[1];
        place_.TimeoutSeconds = std::max(request.TimeoutSeconds, 0);
        options_.IgnoreSysObjects = request.IgnoreSysObjects;
        options_.IgnoreIndexes = request.IgnoreIndexes;
        options_.CompleteTableScripts = request.CompleteTableScripts;
        options_.IgnoreSystemConstraintNames = request.IgnoreSystemConstraintNames;
    }

    bool Run(const std::vector<TargetSeen>& watched) {
        std::vector<ObjectType> types;
        for (const TargetSeen& s : watched)
            if (std::find(types.begin(), types.end(), s.Type) == types.end())
                types.push_back(s.Type);
        progress_.Begin("Checking " + place_.Database + " for changes since the comparison",
                        static_cast<int64_t>(watched.size()));
        LiveCatalogRows rows(place_, cancel_);
        ServerFacts facts;
        if (!rows.Facts(facts, error_, sql_))
            return false;
        BulkCatalogReader reader(rows, facts, options_, cancel_);
        // Every listing (or fingerprint) query in one round trip; the few texts follow.
        std::vector<std::string> planned;
        for (ObjectType type : types) {
            std::vector<std::string> more =
                IsModuleType(type) && form_ == FingerprintForm::None
                    ? std::vector<std::string>{BulkListingQuery(type, options_.IgnoreSysObjects,
                                                                facts.Later())}
                    : reader.PlannedStatements(type,
                                               IsModuleType(type) ? form_ : FingerprintForm::None);
            planned.insert(planned.end(), more.begin(), more.end());
        }
        if (!reader.Prefetch(planned, error_, sql_))
            return false;
        for (ObjectType type : types) {
            std::vector<const TargetSeen*> ofType;
            for (const TargetSeen& s : watched)
                if (s.Type == type)
                    ofType.push_back(&s);
            if (!CheckType(reader, type, ofType))
                return false;
            progress_.Advance(static_cast<int64_t>(ofType.size()), "");
            out_.Checked += static_cast<int64_t>(ofType.size());
        }
        return true;
    }

    const OdbcError& Error() const { return error_; }

private:
    bool CheckType(BulkCatalogReader& reader, ObjectType type,
                   const std::vector<const TargetSeen*>& watched) {
        CatalogTypeRead read;
        const bool module = IsModuleType(type);
        const bool ok = !module ? reader.ReadType(type, read, error_, sql_)
                        : form_ != FingerprintForm::None
                            ? reader.ReadFingerprints(type, form_, read, error_, sql_)
                            : reader.ReadNames(type, read, error_, sql_);
        if (!ok)
            return false;
        std::unordered_map<std::string, size_t> byName;
        for (size_t i = 0; i < read.Objects.size(); ++i)
            byName.emplace(NameKey(read.Objects[i].Ref.Schema, read.Objects[i].Ref.Name), i);
        std::vector<const CatalogObject*> now(watched.size(), nullptr);
        std::vector<size_t> texts;
        for (size_t k = 0; k < watched.size(); ++k) {
            const auto it = byName.find(NameKey(watched[k]->Schema, watched[k]->Name));
            if (it == byName.end())
                continue;
            now[k] = &read.Objects[it->second];
            // Only a text the comparison read and no fingerprint can vouch for is fetched.
            if (module && watched[k]->Present && watched[k]->Fingerprint.empty() &&
                watched[k]->TextKnown)
                texts.push_back(it->second);
        }
        std::sort(texts.begin(), texts.end());
        texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
        if (module && !reader.ReadTexts(read, texts, error_, sql_))
            return false;
        for (size_t k = 0; k < watched.size(); ++k) {
            const std::string how = Judge(*watched[k], now[k]);
            if (!how.empty())
                out_.Changes.push_back({type, watched[k]->Schema, watched[k]->Name, how});
        }
        return true;
    }

    static std::string Judge(const TargetSeen& seen, const CatalogObject* now) {
        if (!seen.Present)
            return now ? "appeared" : "";
        if (!now)
            return "disappeared";
        if (!seen.Fingerprint.empty())
            return now->Fingerprint == seen.Fingerprint ? "" : "text changed";
        if (!seen.TextKnown || !now->TextRead)
            return "";
        size_t columns = 0, rest = 0;
        Digest(seen.Type, now->Text, columns, rest);
        const bool columnsChanged = columns != seen.ColumnsDigest;
        const bool restChanged = rest != seen.RestDigest;
        if (seen.Type != kTypeTable)
            return columnsChanged
                       ? (IsModuleType(seen.Type) ? "text changed" : "definition changed")
                       : "";
        if (columnsChanged && restChanged)
            return "columns, indexes or constraints changed";
        if (columnsChanged)
            return "columns changed";
        return restChanged ? "indexes or constraints changed" : "";
    }

    const DbCompareRequest& request_;
    FingerprintForm form_;
    ProgressSink& progress_;
    const CancelToken& cancel_;
    TargetCheck& out_;
    QueryPlace place_;
    CatalogReadOptions options_;
    OdbcError error_;
    std::string sql_;
};

} // namespace

TargetCheck CheckTarget(const DbCompareRequest& request, FingerprintForm form,
                        const std::vector<TargetSeen>& watched, ProgressSink& progress,
                        const CancelToken& cancel) {
    TargetCheck out;
    if (watched.empty())
        return out;
    try {
        Checker checker(request, form, progress, cancel, out);
        if (checker.Run(watched))
            return out;
        out.Changes.clear();
        if (cancel.cancelRequested()) {
            out.Outcome = RunOutcome::Cancelled;
            out.Problem = kStoppedByUser;
        } else {
            out.Outcome = RunOutcome::Failed;
            std::string why = checker.Error().description;
            while (!why.empty() && (why.back() == '.' || why.back() == '\n' || why.back() == '\r'))
                why.pop_back();
            out.Problem = "reading " + request.Database[1] + " again failed: " + why;
        }
    } catch (const std::exception& e) {
        out.Changes.clear();
        out.Outcome = RunOutcome::Failed;
        out.Problem = e.what();
    }
    return out;
}

std::string TargetChangeList(const TargetCheck& check, const std::string& lineBreak) {
    std::string text;
    for (const TargetChange& c : check.Changes)
        text += lineBreak + "  " + LowerTypeName(c.Type) + " " +
                (c.Schema.empty() ? "" : c.Schema + ".") + c.Name + ": " + c.How;
    return text;
}

} // namespace orv
