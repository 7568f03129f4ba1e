#include "dbcompare/db_compare.h"

#include "catalog/bulk_catalog.h"
#include "catalog/ignored_columns.h"
#include "catalog/module_header.h"
#include "catalog/sql_quote.h"
#include "catalog/table_script.h"
#include "dbcompare/column_rename.h"
#include "dbcompare/pairing.h"
#include "servers/exec_ado_cmd.h"
#include "util/memory_text_view.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>

namespace orv {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

// What one side's reader has produced so far.
struct SideState {
    std::vector<std::optional<CatalogTypeRead>> reads;
    bool failed = false;
    OdbcError error;
    std::string failedSql;
    // Objects built per type, and the last one, for the progress line.
    std::vector<int64_t> built;
    std::string lastItem;
    // Hash-first reading: the side's server facts, and per type its listing with fingerprints
    // (no texts), which the other side's reader needs to know which texts to fetch.
    std::optional<ServerFacts> facts;
    std::vector<std::shared_ptr<const CatalogTypeRead>> prints;
};

// Hands what the two reader threads read to the comparing thread, type by type. The comparing
// thread sleeps until a type is there on both sides, a side fails, the run is stopped, or
// there is progress worth a line: the readers wake it no more often than the progress line
// changes.
class SideReads {
public:
    explicit SideReads(size_t types) {
        for (SideState& s : side_) {
            s.reads.resize(types);
            s.built.assign(types, 0);
            s.prints.resize(types);
        }
    }

    // Reader threads, hash-first: what one side tells the other, and waiting for the other's.
    // A wait ends empty when the other side failed or `halt` was set.
    void PutFacts(int side, ServerFacts facts) {
        std::lock_guard lock(mutex_);
        side_[side].facts = facts;
        changed_.notify_all();
    }
    std::optional<ServerFacts> WaitFacts(int side, const CancelToken& halt) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] {
            return side_[side].facts || side_[side].failed || halt.cancelRequested();
        });
        return side_[side].facts;
    }
    void PutPrints(int side, size_t type, std::shared_ptr<const CatalogTypeRead> prints) {
        std::lock_guard lock(mutex_);
        side_[side].prints[type] = std::move(prints);
        changed_.notify_all();
    }
    std::shared_ptr<const CatalogTypeRead> WaitPrints(int side, size_t type,
                                                      const CancelToken& halt) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] {
            return side_[side].prints[type] || side_[side].failed || halt.cancelRequested();
        });
        return side_[side].prints[type];
    }
    // The reading both readers chose (they choose alike from the same facts).
    void SetReading(FingerprintForm form) {
        std::lock_guard lock(mutex_);
        form_ = form;
    }
    CompareReading Reading() {
        std::lock_guard lock(mutex_);
        return form_ == FingerprintForm::None ? CompareReading::Full : CompareReading::HashFirst;
    }
    FingerprintForm Form() {
        std::lock_guard lock(mutex_);
        return form_;
    }

    // Reader threads.
    void Built(int side, size_t type, const std::string& item) {
        std::lock_guard lock(mutex_);
        ++side_[side].built[type];
        side_[side].lastItem = item;
        if (Clock::now() - lastWake_ >= kProgressInterval) {
            lastWake_ = Clock::now();
            changed_.notify_all();
        }
    }
    void Put(int side, size_t type, CatalogTypeRead read) {
        std::lock_guard lock(mutex_);
        side_[side].reads[type] = std::move(read);
        changed_.notify_all();
    }
    void Fail(int side, const OdbcError& error, const std::string& sql) {
        std::lock_guard lock(mutex_);
        side_[side].failed = true;
        side_[side].error = error;
        side_[side].failedSql = sql;
        changed_.notify_all();
    }
    // Any thread: the comparing thread looks at its stop condition again.
    void Wake() {
        { std::lock_guard lock(mutex_); }
        changed_.notify_all();
    }

    // Comparing thread: waits for both reads of `type`, reporting the objects built meanwhile.
    // Null `failed` and both reads filled when they came; `failed` names the side that failed
    // before giving the type; neither when `stopped` said so first.
    void Take(size_t type, const std::function<bool()>& stopped, ProgressSink& progress,
              std::optional<CatalogTypeRead> read[2], const SideState*& failed) {
        failed = nullptr;
        int64_t reported = 0;
        std::unique_lock lock(mutex_);
        while (true) {
            SideState* s = side_;
            if (s[0].reads[type] && s[1].reads[type]) {
                for (int i = 0; i < 2; ++i) {
                    read[i] = std::move(s[i].reads[type]);
                    s[i].reads[type].reset();
                }
                return;
            }
            // A side that failed after reading this type still gave it whole: wait for the
            // other side, so what was read before the fault is judged whichever reader happens
            // to be faster.
            for (int i = 0; i < 2; ++i)
                if (s[i].failed && !s[i].reads[type]) {
                    failed = &s[i];
                    return;
                }
            if (stopped())
                return;
            const int64_t built = s[0].built[type] + s[1].built[type];
            if (built != reported) {
                const std::string item = s[1].lastItem.empty() ? s[0].lastItem : s[1].lastItem;
                lock.unlock();
                progress.Advance(built - reported, item);
                reported = built;
                lock.lock();
                continue;
            }
            changed_.wait(lock);
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    SideState side_[2];
    Clock::time_point lastWake_{};
    FingerprintForm form_ = FingerprintForm::None;
};

struct Run {
    const DbCompareRequest& request;
    std::vector<ObjectType> types;
    SideReads reads;
    // Stops both readers: set by the user's Stop, and when the run ends for any reason.
    CancelToken halt;
    // Per side: what was read, kept for a snapshot the request asks for, and the facts.
    std::map<std::string, CatalogResult> kept[2];
    ServerFacts facts[2];
};

void ReadSideOrFail(Run& run, int side);

QueryPlace SidePlace(const DbCompareRequest& request, int side) {
    QueryPlace place;
    place.Server = request.Server[side];
    place.Database = request.Database[side];
    place.TimeoutSeconds = request.TimeoutSeconds >= 0 ? request.TimeoutSeconds : 0;
    return place;
}

// A reader thread: whatever goes wrong ends as a failure of its side, never as a crash.
void ReadSide(Run& run, int side) {
    try {
        ReadSideOrFail(run, side);
    } catch (...) {
        std::string what = "Reading the catalog failed.";
        try {
            throw;
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
        run.reads.Fail(side, {kErrFail, what, "", 0}, "");
    }
}

// The fingerprint form this run reads module texts by, None for the full read. Both readers
// come to the same answer from the same two sets of facts.
std::optional<FingerprintForm> ChooseForm(Run& run, int side, const ServerFacts& facts,
                                          const CatalogRows& rows) {
    // A source without fingerprints (a snapshot) is told to the other side as a server that
    // has none, so both choose the full read; one that kept only the comment rows' as a
    // server from before whole modules were hashed.
    ServerFacts told = facts;
    if (!rows.Fingerprints())
        told.VersionMajor = std::min<int32_t>(told.VersionMajor, 8);
    else if (!rows.WholeModuleFingerprints())
        told.VersionMajor = std::min<int32_t>(told.VersionMajor, 12);
    run.reads.PutFacts(side, told);
    if (run.request.Reading == CompareReading::Full)
        return FingerprintForm::None;
    const std::optional<ServerFacts> other = run.reads.WaitFacts(1 - side, run.halt);
    if (!other)
        return std::nullopt;
    const FingerprintForm form = SharedFingerprintForm(told.VersionMajor, other->VersionMajor);
    run.reads.SetReading(form);
    return form;
}

std::vector<size_t> TextsNeeded(const DbCompareRequest& request, ObjectType type, int side,
                                const CatalogTypeRead& mine, const CatalogTypeRead& other);

// Hash-first reading: every statement of every type goes to the server in one batch, the
// fingerprints of all module types are handed to the other side at once, and the texts that
// no identical fingerprint pairs (on this side) in one more batch. Over a remote link the
// round trips, not the rows, are most of such a reading's time. The types are then built and
// handed on in order from what the batches brought. False when it failed (`error` says why);
// true without giving every type when the other side failed or the run stopped.
bool ReadByFingerprints(Run& run, int side, BulkCatalogReader& reader, FingerprintForm form,
                        RecordingCatalogRows* recorder, size_t& current, OdbcError& error,
                        std::string& sql) {
    const bool snapshot = run.request.Snapshot[side] != nullptr;
    // More differing texts than this are fetched type by type, not kept all at once.
    constexpr size_t kPrefetchedTexts = 5000;
    std::vector<std::string> planned;
    for (ObjectType type : run.types) {
        const auto more = reader.PlannedStatements(type, form);
        planned.insert(planned.end(), more.begin(), more.end());
    }
    if (!reader.Prefetch(planned, error, sql))
        return false;
    const size_t types = run.types.size();
    std::vector<CatalogTypeRead> prints(types);
    for (current = 0; current < types; ++current) {
        if (!IsModuleType(run.types[current]))
            continue;
        if (!reader.ReadFingerprints(run.types[current], form, prints[current], error, sql))
            return false;
        run.reads.PutPrints(side, current,
                            std::make_shared<const CatalogTypeRead>(prints[current]));
    }
    std::vector<std::vector<size_t>> needed(types);
    std::vector<std::string> texts;
    size_t neededCount = 0;
    for (current = 0; current < types; ++current) {
        if (!IsModuleType(run.types[current]))
            continue;
        const std::shared_ptr<const CatalogTypeRead> other =
            run.reads.WaitPrints(1 - side, current, run.halt);
        if (!other)
            return true;
        needed[current] =
            TextsNeeded(run.request, run.types[current], side, prints[current], *other);
        neededCount += needed[current].size();
        const auto more = BulkCatalogReader::TextStatements(prints[current], needed[current]);
        texts.insert(texts.end(), more.begin(), more.end());
    }
    if (neededCount <= kPrefetchedTexts && !reader.Prefetch(texts, error, sql))
        return false;
    for (current = 0; current < types; ++current) {
        CatalogTypeRead read;
        if (IsModuleType(run.types[current])) {
            read = std::move(prints[current]);
            // A snapshot has every text at hand: all are built, the fingerprints kept.
            if (snapshot ? !reader.ReadAllTexts(read, error, sql)
                         : !reader.ReadTexts(read, needed[current], error, sql))
                return false;
            for (const CatalogObject& o : read.Objects)
                if (!o.TextRead)
                    run.reads.Built(side, current, o.ListedName);
        } else if (!reader.ReadType(run.types[current], read, error, sql)) {
            return false;
        }
        if (recorder && current + 1 == types)
            run.kept[side] = recorder->Take();
        run.reads.Put(side, current, std::move(read));
    }
    return true;
}

void ReadSideOrFail(Run& run, int side) {
    const DbCompareRequest& request = run.request;
    std::unique_ptr<CatalogRows> source;
    if (request.Snapshot[side])
        source = std::make_unique<SnapshotRows>(request.Snapshot[side], request.SnapshotFile[side]);
    else
        source = std::make_unique<LiveCatalogRows>(SidePlace(request, side), run.halt);
    std::unique_ptr<RecordingCatalogRows> recorder;
    CatalogRows* rows = source.get();
    if (request.KeepSnapshot[side] && !request.Snapshot[side]) {
        recorder = std::make_unique<RecordingCatalogRows>(*source);
        rows = recorder.get();
    }
    ServerFacts facts;
    OdbcError error;
    std::string sql;
    if (!rows->Facts(facts, error, sql))
        return run.reads.Fail(side, error, sql);
    run.facts[side] = facts;
    const std::optional<FingerprintForm> form = ChooseForm(run, side, facts, *rows);
    if (!form)
        return; // the other side failed first, or the run is over
    CatalogReadOptions options;
    options.IgnoreSysObjects = request.IgnoreSysObjects;
    options.IgnoreIndexes = request.IgnoreIndexes;
    options.CompleteTableScripts = request.CompleteTableScripts;
    options.IgnoreSystemConstraintNames = request.IgnoreSystemConstraintNames;
    size_t current = 0;
    BulkCatalogReader reader(*rows, facts, options, run.halt, [&](const std::string& item) {
        run.reads.Built(side, current, item);
    });
    if (*form != FingerprintForm::None) {
        if (!ReadByFingerprints(run, side, reader, *form, recorder.get(), current, error, sql))
            return run.reads.Fail(side, error, sql);
        return;
    }
    for (current = 0; current < run.types.size(); ++current) {
        CatalogTypeRead read;
        if (!reader.ReadType(run.types[current], read, error, sql))
            return run.reads.Fail(side, error, sql);
        if (recorder && current + 1 == run.types.size())
            run.kept[side] = recorder->Take();
        run.reads.Put(side, current, std::move(read));
    }
}

std::string ReasonText(const CatalogObject* source, const CatalogObject* target) {
    std::string reason;
    if (!source->Readable)
        reason = source->Reason + " in source";
    if (!target->Readable) {
        if (!source->Readable && source->Reason == target->Reason)
            return source->Reason + " in source and target";
        reason += (reason.empty() ? "" : "; ") + target->Reason + " in target";
    }
    return reason;
}

// What a renamed module's text names instead of itself, side by side.
std::string DefinitionNote(const PairVerdict& v) {
    std::string written[2];
    for (int side = 0; side < 2; ++side) {
        const bool has = side == 0 ? v.HasSource : v.HasTarget;
        const ObjectRef& ref = side == 0 ? v.Source : v.Target;
        const ModuleHeaderName header =
            FindModuleHeaderName(side == 0 ? v.SourceText : v.TargetText);
        if (has && NamesAnotherObject(header, ref.Schema, ref.Name))
            written[side] = header.Written;
    }
    if (written[0].empty() && written[1].empty())
        return "";
    if (!(v.HasSource && v.HasTarget) || written[0] == written[1])
        return "definition names " + (written[0].empty() ? written[1] : written[0]);
    if (written[1].empty())
        return "definition names " + written[0] + " in source";
    if (written[0].empty())
        return "definition names " + written[1] + " in target";
    return "definition names " + written[0] + " in source, " + written[1] + " in target";
}

// The verdict on one pair, decided by the comparison the main window runs on two panels.
PairVerdict Judge(const DbCompareRequest& request, ObjectType type, const CatalogTypeRead* read[2],
                  const CatalogObject* object[2]) {
    PairVerdict v;
    v.Type = type;
    v.HasSource = object[0] != nullptr;
    v.HasTarget = object[1] != nullptr;
    if (v.HasSource) {
        v.Source = object[0]->Ref;
        v.SourceText = object[0]->Text;
        v.SourceFingerprint = object[0]->Fingerprint;
    }
    if (v.HasTarget) {
        v.Target = object[1]->Ref;
        v.TargetText = object[1]->Text;
        v.TargetFingerprint = object[1]->Fingerprint;
    }
    if (IsModuleType(type))
        v.DefinitionNote = DefinitionNote(v);
    if (!v.HasTarget) {
        v.Status = PairStatus::OnlyInSource;
        return v;
    }
    if (!v.HasSource) {
        v.Status = PairStatus::OnlyInTarget;
        return v;
    }
    if (!object[0]->TextRead || !object[1]->TextRead) {
        // Texts are left unread only where both fingerprints are there and equal: the stored
        // texts are the same bytes, which every comparison option calls identical. (A
        // snapshot's side has its text at hand all the same.)
        v.TextsRead = false;
        const bool same =
            !object[0]->Fingerprint.empty() && object[0]->Fingerprint == object[1]->Fingerprint;
        v.Status = same ? PairStatus::Identical : PairStatus::NotComparable;
        if (!same)
            v.Reason = "text not read";
        return v;
    }
    if (!object[0]->Readable || !object[1]->Readable) {
        v.Status = PairStatus::NotComparable;
        v.Reason = ReasonText(object[0], object[1]);
        return v;
    }
    // A module renamed with sp_rename names its old self in its text, and the deployment
    // writes its current name there instead: the name in the header is no difference, or a
    // deployed rename would never compare identical.
    MemoryTextView views[2];
    if (v.DefinitionNote.empty()) {
        views[0].SetText(v.SourceText);
        views[1].SetText(v.TargetText);
    } else {
        auto current = [](const ObjectRef& ref) {
            return (ref.Schema.empty() ? "" : QuoteCatalogName(ref.Schema) + ".") +
                   QuoteCatalogName(ref.Name);
        };
        views[0].SetText(WithCurrentName(v.SourceText, current(v.Source)));
        views[1].SetText(WithCurrentName(v.TargetText, current(v.Target)));
    }
    ViewPair pair(views[0], views[1]);
    std::string_view text[2] = {ViewTextForComparison(pair, 0), ViewTextForComparison(pair, 1)};
    IgnoredTable table[2];
    for (int side = 0; side < 2; ++side)
        table[side] = {request.Server[side].Name, request.Database[side], object[side]->Ref.Schema,
                       object[side]->Ref.Name};
    CompareServices services;
    if (request.IgnoredColumns)
        services.ignoredColumns = [&](int side) { return request.IgnoredColumns(table[side]); };
    services.tableScriptWithoutIgnored = [&](int side) {
        return BulkCatalogReader::TableTextWithout(*read[side], *object[side],
                                                   request.IgnoredColumns(table[side]));
    };
    const PairDecision decision =
        DecideObjectPair(pair, text, type, request.Options, services, false);
    v.ColumnsIgnored = decision.ColumnsIgnored;
    v.Status = decision.Identical ? PairStatus::Identical : PairStatus::Different;
    if (!decision.Identical) {
        v.SourceLines = std::move(pair.Lines(0));
        v.TargetLines = std::move(pair.Lines(1));
        if (type == kTypeTable) {
            const ColumnRenameGuess guess = GuessColumnRename(
                TableColumnShapes(*read[0], *object[0]), TableColumnShapes(*read[1], *object[1]));
            v.RenamedColumnFrom = guess.OldName;
            v.RenamedColumnTo = guess.NewName;
        }
    }
    return v;
}

// The objects of one side a selective comparison looks at: those picked on this side, and the
// namesakes of those picked on the other.
std::vector<const ObjectRef*> Chosen(const DbCompareRequest& request, ObjectType type, int side,
                                     const CatalogTypeRead* read[2],
                                     std::vector<const CatalogObject*>& objects) {
    std::unordered_set<int32_t> picked[2];
    for (int s = 0; s < 2; ++s)
        for (const SelectedObject& o : request.Selected[s])
            if (o.Type == type)
                picked[s].insert(o.Id);
    const bool caseSensitive = request.Options.CaseSensitive;
    std::unordered_set<std::string> wantedKeys;
    const int other = 1 - side;
    for (const CatalogObject& o : read[other]->Objects)
        if (picked[other].count(o.Ref.Id))
            wantedKeys.insert(PairKey(o.Ref, caseSensitive));
    std::vector<const ObjectRef*> refs;
    for (const CatalogObject& o : read[side]->Objects) {
        if (!request.Filter.Passes(type, o.Ref.Schema, o.Ref.Name))
            continue;
        if (request.Kind == DbCompareKind::Selective && !picked[side].count(o.Ref.Id) &&
            !wantedKeys.count(PairKey(o.Ref, caseSensitive)))
            continue;
        refs.push_back(&o.Ref);
        objects.push_back(&o);
    }
    return refs;
}

// The positions in `mine` of the objects whose texts the comparison needs: those it will
// judge (the ones Chosen keeps) unless the pair they fall in has two equal fingerprints. Both
// readers pair the same two listings the way the judging does, so each fetches exactly its
// half of every pair that needs reading.
std::vector<size_t> TextsNeeded(const DbCompareRequest& request, ObjectType type, int side,
                                const CatalogTypeRead& mine, const CatalogTypeRead& other) {
    const CatalogTypeRead* reads[2];
    reads[side] = &mine;
    reads[1 - side] = &other;
    std::vector<const CatalogObject*> objects[2];
    std::vector<const ObjectRef*> refs[2];
    for (int s = 0; s < 2; ++s)
        refs[s] = Chosen(request, type, s, reads, objects[s]);
    std::vector<size_t> needed;
    for (const PairIndex& p : PairObjects(refs[0], refs[1], request.Options.CaseSensitive)) {
        const int at[2] = {p.Source, p.Target};
        if (at[side] < 0)
            continue;
        const CatalogObject* own = objects[side][static_cast<size_t>(at[side])];
        const CatalogObject* peer =
            at[1 - side] >= 0 ? objects[1 - side][static_cast<size_t>(at[1 - side])] : nullptr;
        if (peer && !own->Fingerprint.empty() && own->Fingerprint == peer->Fingerprint)
            continue;
        needed.push_back(static_cast<size_t>(own - mine.Objects.data()));
    }
    std::sort(needed.begin(), needed.end());
    return needed;
}

std::string StepName(const std::string& verb, ObjectType type, const DbCompareRequest& r) {
    return verb + " " + GetObjectTypeName(type, false) + " of " + r.Database[0] + " and " +
           r.Database[1];
}

// Judge's verdict, or a pair not comparable with the reason the comparison failed: one pair
// that cannot be judged does not end the run.
PairVerdict JudgeOrExplain(const DbCompareRequest& request, ObjectType type,
                           const CatalogTypeRead* reads[2], const CatalogObject* pair[2],
                           ProgressSink& progress) {
    try {
        return Judge(request, type, reads, pair);
    } catch (...) {
        std::string what = "the comparison failed";
        try {
            throw;
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
        PairVerdict v;
        v.Type = type;
        v.HasSource = pair[0] != nullptr;
        v.HasTarget = pair[1] != nullptr;
        if (pair[0])
            v.Source = pair[0]->Ref;
        if (pair[1])
            v.Target = pair[1]->Ref;
        v.Reason = what;
        progress.Warn(what);
        return v;
    }
}

// Pairs the objects of one type read on both sides and judges every pair, in pairing order,
// until `stopped` says so.
void JudgeType(const DbCompareRequest& request, ObjectType type, const CatalogTypeRead* reads[2],
               DbCompareResults& results, ProgressSink& progress,
               const std::function<bool()>& stopped) {
    std::vector<const CatalogObject*> objects[2];
    std::vector<const ObjectRef*> refs[2];
    for (int side = 0; side < 2; ++side)
        refs[side] = Chosen(request, type, side, reads, objects[side]);
    const std::vector<PairIndex> pairs =
        PairObjects(refs[0], refs[1], request.Options.CaseSensitive);
    progress.Begin(StepName("Comparing", type, request), static_cast<int64_t>(pairs.size()));
    auto lastReport = Clock::now();
    int64_t unreported = 0;
    for (size_t i = 0; i < pairs.size() && !stopped(); ++i) {
        const PairIndex& p = pairs[i];
        const CatalogObject* pair[2] = {
            p.Source >= 0 ? objects[0][static_cast<size_t>(p.Source)] : nullptr,
            p.Target >= 0 ? objects[1][static_cast<size_t>(p.Target)] : nullptr};
        results.Pairs.push_back(JudgeOrExplain(request, type, reads, pair, progress));
        ++unreported;
        if (i + 1 == pairs.size() || Clock::now() - lastReport >= kProgressInterval) {
            progress.Advance(unreported, (pair[0] ? pair[0] : pair[1])->ListedName);
            unreported = 0;
            lastReport = Clock::now();
        }
    }
}

} // namespace

// The snapshots the request asks to keep: what the side read, completed with the results a
// snapshot holds besides (other reading options, texts a hash-first read left on the server),
// read on the calling thread once the comparison is done.
static void KeepSnapshots(Run& run, DbCompareResults& results, ProgressSink& progress,
                          const CancelToken& cancel) {
    for (int side = 0; side < 2; ++side) {
        if (!run.request.KeepSnapshot[side] || run.request.Snapshot[side])
            continue;
        progress.Begin("Saving the snapshot of " + run.request.Database[side], 0);
        LiveCatalogRows live(SidePlace(run.request, side), cancel);
        RecordingCatalogRows rows(live, std::move(run.kept[side]));
        OdbcError error;
        std::string sql;
        if (!GatherSnapshotRows(
                rows, run.facts[side], cancel,
                [&](const std::string& item) { progress.Advance(1, item); }, error, sql)) {
            results.SnapshotProblem = ConnectionFailedText(error.number, error.description, sql);
            continue;
        }
        auto snapshot = std::make_shared<CatalogSnapshot>();
        snapshot->Header.Server = run.request.Server[side].Name;
        snapshot->Header.VersionText = run.facts[side].VersionText;
        snapshot->Header.VersionMajor = run.facts[side].VersionMajor;
        snapshot->Header.Database = run.request.Database[side];
        snapshot->Header.Taken = SnapshotTimeNow();
        snapshot->Results = rows.Take();
        results.SnapshotTaken[side] = std::move(snapshot);
    }
}

// Starts a reader thread per side; however the run ends, both readers are stopped and joined.
class Readers {
public:
    explicit Readers(Run& run) : run_(run) {
        for (int side = 0; side < 2; ++side)
            thread_[side] = std::thread(ReadSide, std::ref(run_), side);
    }
    ~Readers() {
        run_.halt.RequestCancel();
        run_.reads.Wake(); // a reader waiting for the other side's fingerprints
        for (auto& t : thread_)
            t.join();
    }
    Readers(const Readers&) = delete;
    Readers& operator=(const Readers&) = delete;

private:
    Run& run_;
    std::thread thread_[2];
};

DbCompareResultsPtr RunDbCompare(const DbCompareRequest& request, ProgressSink& progress,
                                 const CancelToken& cancel) {
    auto results = std::make_shared<DbCompareResults>();
    results->Started = std::time(nullptr);
    results->Kind = request.Kind;
    results->Details = request.Details;
    for (int side = 0; side < 2; ++side) {
        results->ServerName[side] = request.Server[side].Name;
        results->DbName[side] = request.Database[side];
        // The reports say which side is the past, not the server as it is now.
        if (request.Snapshot[side] && !request.Snapshot[side]->Header.Taken.empty())
            results->ServerName[side] +=
                " (snapshot of " + request.Snapshot[side]->Header.Taken + " UTC)";
    }
    std::vector<ObjectType> types = request.Types;
    if (types.empty())
        types = {kTypeTable, kTypeProcedure, kTypeFunction,
                 kTypeView,  kTypeTrigger,   kTypeRelationship};
    results->Types = types;
    Run run{request, types, SideReads(types.size()), {}, {}, {}};

    RunOutcome outcome = RunOutcome::Completed;
    std::string problem;
    auto stopped = [&] {
        if (outcome == RunOutcome::Completed && cancel.cancelRequested()) {
            outcome = RunOutcome::Cancelled;
            problem = kStoppedByUser;
        }
        return outcome != RunOutcome::Completed;
    };
    {
        // Stop reaches the readers' running queries, and wakes this thread from its wait.
        CancelCallback relay(cancel, [&run] {
            run.halt.RequestCancel();
            run.reads.Wake();
        });
        Readers readers(run);
        for (size_t k = 0; k < run.types.size() && !stopped(); ++k) {
            const ObjectType type = run.types[k];
            progress.Begin(StepName("Reading", type, request), 0);
            std::optional<CatalogTypeRead> read[2];
            const SideState* failed = nullptr;
            run.reads.Take(
                k, [&] { return cancel.cancelRequested(); }, progress, read, failed);
            // A reader cut short by Stop fails too; that is no failure of the run.
            if (failed && !stopped()) {
                outcome = RunOutcome::Failed;
                problem = ConnectionFailedText(failed->error.number, failed->error.description,
                                               failed->failedSql);
            }
            if (stopped() || !read[0] || !read[1])
                break;

            const CatalogTypeRead* reads[2] = {&*read[0], &*read[1]};
            JudgeType(request, type, reads, *results, progress, stopped);
        }
    }
    stopped();
    if (outcome == RunOutcome::Completed)
        KeepSnapshots(run, *results, progress, cancel);
    stopped();
    results->Reading = run.reads.Reading();
    results->Fingerprints = run.reads.Form();
    results->Outcome = outcome;
    results->Problem = problem;
    return results;
}

} // namespace orv
