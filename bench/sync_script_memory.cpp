// Peak memory of writing the synchronisation script and the rows CSV for a million differing
// rows: "stream" spools the statements and records while the rows arrive and streams both files
// out in chunks (what orvane-cli compare-data does); "whole" builds each file as one string
// first. Each mode runs in a child process, so each peak (ru_maxrss) is its own.
//
//   bench_sync_script_memory [rows] [folder]      default 1000000 rows, $TMPDIR or /tmp
#include "dbcompare/data_compare_report.h"
#include "dbcompare/data_sync_script.h"
#include "export/export_file.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace orv;

DataTableResult Pair() {
    DataTableResult pair;
    pair.HasSource = pair.HasTarget = true;
    pair.Schema[0] = pair.Schema[1] = "dbo";
    pair.Name[0] = pair.Name[1] = "Orders";
    pair.KeyColumns = {"Id"};
    pair.KeyTypes = {{"Id", "int", "int"}};
    pair.Compared = {{"Customer", "nvarchar(40)", "nvarchar(40)"},
                     {"Amount", "decimal(12,2)", "decimal(12,2)"},
                     {"Note", "varchar(60)", "varchar(60)"}};
    return pair;
}

// The rows a comparison would report: changed, only in the source, only in the target.
void Feed(DataRowSink& sink, long rows) {
    const DataTableResult pair = Pair();
    sink.BeginPair(pair);
    DataRowDiff row;
    for (long id = 1; id <= rows; ++id) {
        row.Status = static_cast<RowStatus>(id % 3);
        row.Key = {FieldValue::Int(static_cast<int32_t>(id))};
        const bool changed = row.Status == RowStatus::Different;
        row.Cells = {{FieldValue::Str("customer " + std::to_string(id % 5000)),
                      FieldValue::Str("customer " + std::to_string(id % 5000)), false},
                     {FieldValue::Dec(std::to_string(id % 100000) + ".25"),
                      FieldValue::Dec(std::to_string(id % 100000) + (changed ? ".50" : ".25")),
                      changed},
                     {FieldValue::Str("a note of some length for row " + std::to_string(id)),
                      FieldValue::Null(), changed}};
        sink.Row(pair, row);
    }
    sink.EndPair(pair);
}

int Run(bool stream, long rows, const std::string& folder) {
    SyncScriptWriter script(stream);
    DataRowsCsvWriter csv(stream);
    Feed(script, rows);
    Feed(csv, rows);
    DataCompareResults run;
    run.DbName[0] = "Src";
    run.DbName[1] = "Tgt";
    run.TargetVersionMajor = 10;
    SyncScriptOptions options;
    options.MadeAt = "2024-01-31 10:20:30";
    std::string error;
    bool ok = false;
    const std::string scriptPath = folder + "/bench-sync.sql",
                      rowsPath = folder + "/bench-rows.csv";
    if (stream) {
        ok = StreamExportFile(
                 scriptPath,
                 [&](const ExportWriter& write) { return script.WriteScript(write, run, options); },
                 script.SpoolProblem(), error) &&
             StreamExportFile(
                 rowsPath, [&](const ExportWriter& write) { return csv.WriteTo(write); },
                 csv.SpoolProblem(), error);
    } else {
        ok = WriteExportFile(scriptPath, script.Script(run, options), error) &&
             WriteExportFile(rowsPath, csv.Text(), error);
    }
    if (!ok) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    struct stat st[2]{};
    ::stat(scriptPath.c_str(), &st[0]);
    ::stat(rowsPath.c_str(), &st[1]);
    std::printf("%-7s peak %7.1f MiB   script %7.1f MiB   rows csv %7.1f MiB\n",
                stream ? "stream" : "whole", usage.ru_maxrss / 1024.0, st[0].st_size / 1048576.0,
                st[1].st_size / 1048576.0);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = argc > 2 ? argv[2] : (tmp && *tmp ? tmp : "/tmp");
    std::printf("%ld differing rows\n", rows);
    int status = 0;
    for (const bool stream : {false, true}) {
        const auto start = std::chrono::steady_clock::now();
        std::fflush(stdout);
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int result = Run(stream, rows, folder);
            std::fflush(stdout);
            ::_exit(result);
        }
        int raw = 0;
        ::waitpid(pid, &raw, 0);
        std::fflush(stdout);
        status |= WIFEXITED(raw) ? WEXITSTATUS(raw) : 1;
        std::printf(
            "        %.1f s\n",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    ::unlink((folder + "/bench-sync.sql").c_str());
    ::unlink((folder + "/bench-rows.csv").c_str());
    return status;
}
