#include "dbcompare/script_folder_read.h"

#include "catalog/sql_quote.h"
#include "core/file_io.h"
#include "dbcompare/scratch_server.h"
#include "servers/worker_query.h"
#include "util/text.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

namespace orv {

namespace fs = std::filesystem;

namespace {

std::string JoinPath(const std::string& folder, const std::string& relative) {
    return folder.empty() || folder.back() == '/' ? folder + relative : folder + "/" + relative;
}

bool IsGoLine(const std::string& line) {
    return EqualsNoCase(TrimWhitespace(line), "GO");
}

// The files to run: those the manifest names that are there, then any other .sql file in a
// folder of a known type (added by hand), in the order the folders are read back.
std::vector<ManifestEntry> FilesToRun(const std::string& folder, const ScriptFolderManifest& m) {
    std::vector<std::string> folders;
    for (const ObjectType t : ScriptFolderOrder())
        folders.push_back(ScriptFolderOf(t));
    std::set<std::string> listed;
    std::map<std::string, std::vector<ManifestEntry>> byFolder;
    for (const ManifestEntry& e : m.Files) {
        listed.insert(e.Path);
        if (FileExists(JoinPath(folder, e.Path)))
            byFolder[e.Path.substr(0, e.Path.find('/'))].push_back(e);
    }
    for (const std::string& sub : folders) {
        std::error_code ec;
        std::vector<std::string> extra;
        for (fs::directory_iterator it(JoinPath(folder, sub), ec), end; !ec && it != end;
             it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (it->is_regular_file() && name.size() > 4 &&
                name.compare(name.size() - 4, 4, ".sql") == 0 && !listed.count(sub + "/" + name))
                extra.push_back(sub + "/" + name);
        }
        std::sort(extra.begin(), extra.end());
        for (const std::string& path : extra) {
            ManifestEntry e;
            e.Type = ScriptFolderType(sub);
            e.Path = path;
            byFolder[sub].push_back(e);
        }
    }
    std::vector<ManifestEntry> files;
    for (const std::string& sub : folders)
        for (ManifestEntry& e : byFolder[sub])
            files.push_back(std::move(e));
    return files;
}

bool IsSystemDatabase(const std::string& name) {
    for (const char* s : {"master", "model", "msdb", "tempdb"})
        if (EqualsNoCase(name, s))
            return true;
    return false;
}

} // namespace

std::vector<ScriptBatch> SplitScriptBatches(const std::string& text) {
    std::vector<ScriptBatch> batches;
    ScriptBatch current;
    int firstLine = 0;
    int lineNo = 0;
    const auto close = [&] {
        if (firstLine > 0) {
            current.Line = firstLine;
            batches.push_back(std::move(current));
        }
        current = ScriptBatch{};
        firstLine = 0;
    };
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(start, next - start);
        ++lineNo;
        if (IsGoLine(line)) {
            close();
        } else {
            if (firstLine == 0 && !TrimWhitespace(line).empty())
                firstLine = lineNo;
            if (firstLine > 0)
                current.Sql += line;
        }
        start = next;
    }
    close();
    return batches;
}

std::string FolderFailureText(const FolderScriptFailure& f) {
    return f.Object.Path + " line " + std::to_string(f.Line) + ": " + f.Message;
}

void RunFolderScripts(const std::vector<ManifestEntry>& files,
                      const std::function<std::string(const ManifestEntry&)>& textOf,
                      const std::function<bool(const std::string& sql, std::string& message)>& run,
                      std::vector<FolderScriptFailure>& failures) {
    struct PendingFile {
        ManifestEntry Entry;
        std::vector<ScriptBatch> Batches;
        FolderScriptFailure Last;
    };
    std::vector<PendingFile> pending;
    for (const ManifestEntry& e : files)
        pending.push_back({e, SplitScriptBatches(textOf(e)), {}});
    bool progress = true;
    while (progress && !pending.empty()) {
        progress = false;
        std::vector<PendingFile> again;
        for (PendingFile& p : pending) {
            size_t done = 0;
            std::string message;
            for (; done < p.Batches.size(); ++done)
                if (!run(p.Batches[done].Sql, message))
                    break;
            if (done == p.Batches.size()) {
                progress = true;
                continue;
            }
            FolderScriptFailure failure{p.Entry, p.Batches[done].Line, message};
            if (done > 0) {
                // Part of it ran: running it again would only meet what that part made.
                progress = true;
                failures.push_back(std::move(failure));
                continue;
            }
            p.Last = std::move(failure);
            again.push_back(std::move(p));
        }
        pending = std::move(again);
    }
    for (PendingFile& p : pending)
        failures.push_back(std::move(p.Last));
}

bool LoadScriptFolder(const std::string& folder, const std::string& simulator,
                      const CancelToken& cancel,
                      const std::function<void(const std::string&)>& progress,
                      LoadedScriptFolder& out, std::string& error) {
    out.Manifest = ScriptFolderManifest{};
    out.Failures.clear();
    const std::string manifestPath = JoinPath(folder, kScriptFolderManifest);
    const std::optional<std::string> manifestText = ReadWholeFile(manifestPath);
    if (!manifestText) {
        error = folder + " is not a scripts folder: " + manifestPath + " cannot be read.";
        return false;
    }
    std::string why;
    if (!ParseManifest(*manifestText, out.Manifest, why)) {
        error = manifestPath + ": " + why + ".";
        return false;
    }
    if (out.Manifest.Version.empty()) {
        error = manifestPath + " names no server version.";
        return false;
    }
    const std::string program = simulator.empty() ? FindSimulatorProgram() : simulator;
    if (program.empty()) {
        error = "the simulator orvane-sqlsim was found neither beside this program nor on the "
                "PATH; a scripts folder is read through it.";
        return false;
    }
    if (!out.Server.Start(program, out.Manifest.Version, error))
        return false;
    const std::string db = out.Manifest.Database.empty() || IsSystemDatabase(out.Manifest.Database)
                               ? std::string("OrvaneFolder")
                               : out.Manifest.Database;
    OdbcError odbc;
    const std::string create = "CREATE DATABASE " + QuoteCatalogName(db);
    if (!RunWorkerQuery(
            {out.Server.Entry(), "master", 0}, cancel, create, [](WorkerQuery&, Row&) {}, odbc)) {
        error = "the simulator refused to create the scratch database: " + odbc.description;
        return false;
    }
    out.Place = QueryPlace{out.Server.Entry(), db, 0};
    bool stopped = false;
    RunFolderScripts(
        FilesToRun(folder, out.Manifest),
        [&](const ManifestEntry& e) {
            if (progress)
                progress(e.Path);
            std::string text = ReadWholeFile(JoinPath(folder, e.Path)).value_or("");
            if (text.rfind("\xEF\xBB\xBF", 0) == 0)
                text.erase(0, 3);
            return text;
        },
        [&](const std::string& sql, std::string& message) {
            if (cancel.cancelRequested()) {
                stopped = true;
                message = kStoppedByUser;
                return false;
            }
            OdbcError e;
            if (RunWorkerQuery(
                    out.Place, cancel, sql, [](WorkerQuery&, Row&) {}, e))
                return true;
            message = e.description;
            return false;
        },
        out.Failures);
    if (stopped) {
        error = kStoppedByUser;
        return false;
    }
    return true;
}

bool ReadScriptFolder(const std::string& folder, const std::string& simulator,
                      const CancelToken& cancel,
                      const std::function<void(const std::string&)>& progress,
                      ScriptFolderRead& out, std::string& error) {
    out = ScriptFolderRead{};
    LoadedScriptFolder loaded;
    if (!LoadScriptFolder(folder, simulator, cancel, progress, loaded, error))
        return false;
    out.Manifest = loaded.Manifest;
    out.Failures = loaded.Failures;
    auto snapshot = std::make_shared<CatalogSnapshot>();
    OdbcError odbc;
    std::string sql;
    if (!TakeSnapshot(loaded.Place, kFolderSidePrefix + folder, cancel, progress, *snapshot, odbc,
                      sql)) {
        error = cancel.cancelRequested()
                    ? std::string(kStoppedByUser)
                    : "the catalog the scripts made could not be read: " + odbc.description;
        return false;
    }
    // A folder's catalog has no moment of its own; its name is the folder's.
    snapshot->Header.Taken.clear();
    snapshot->Header.Database =
        out.Manifest.Database.empty() ? loaded.Place.Database : out.Manifest.Database;
    out.Snapshot = std::move(snapshot);
    return true;
}

bool ReadFolderSide(const std::string& folder, ProgressSink& progress, const CancelToken& cancel,
                    ScriptFolderRead& read, std::string& error) {
    progress.Begin("Reading the scripts folder " + folder, 0);
    return ReadScriptFolder(
        folder, "", cancel, [&](const std::string& item) { progress.Advance(1, item); }, read,
        error);
}

bool OpenFolderSide(const std::string& folder, ProgressSink& progress, const CancelToken& cancel,
                    std::shared_ptr<LoadedScriptFolder>& loaded, std::string& error) {
    progress.Begin("Running the scripts of " + folder, 0);
    loaded = std::make_shared<LoadedScriptFolder>();
    return LoadScriptFolder(
        folder, "", cancel, [&](const std::string& item) { progress.Advance(1, item); }, *loaded,
        error);
}

void MarkFolderFailures(DbCompareResults& results, int side,
                        const std::vector<FolderScriptFailure>& failures) {
    for (const FolderScriptFailure& f : failures) {
        const ManifestEntry& o = f.Object;
        if (o.Type <= kTypeNone || o.Name.empty() ||
            std::find(results.Types.begin(), results.Types.end(), o.Type) == results.Types.end())
            continue;
        const std::string reason = "script refused: " + FolderFailureText(f);
        const auto same = [&](const ObjectRef& r) {
            return EqualsNoCase(r.Name, o.Name) && EqualsNoCase(r.Schema, o.Schema);
        };
        bool found = false;
        for (PairVerdict& v : results.Pairs) {
            if (v.Type != o.Type ||
                !((v.HasSource && same(v.Source)) || (v.HasTarget && same(v.Target))))
                continue;
            v.Status = PairStatus::NotComparable;
            v.Reason = reason;
            v.SourceLines.clear();
            v.TargetLines.clear();
            found = true;
        }
        if (found)
            continue;
        PairVerdict v;
        v.Type = o.Type;
        v.Status = PairStatus::NotComparable;
        v.Reason = reason;
        ObjectRef ref;
        ref.Schema = o.Schema;
        ref.Name = o.Name;
        (side == 0 ? v.HasSource : v.HasTarget) = true;
        (side == 0 ? v.Source : v.Target) = ref;
        // After the last pair of its type, so the grouping by type holds.
        auto at = results.Pairs.end();
        bool typeSeen = false;
        for (auto it = results.Pairs.begin(); it != results.Pairs.end(); ++it)
            if (it->Type == o.Type) {
                at = it + 1;
                typeSeen = true;
            }
        if (!typeSeen) {
            // No pair of the type yet: before the first pair of a type that comes later.
            const auto rank = [&](ObjectType t) {
                return std::find(results.Types.begin(), results.Types.end(), t) -
                       results.Types.begin();
            };
            at = std::find_if(results.Pairs.begin(), results.Pairs.end(),
                              [&](const PairVerdict& p) { return rank(p.Type) > rank(o.Type); });
        }
        results.Pairs.insert(at, std::move(v));
    }
}

} // namespace orv
