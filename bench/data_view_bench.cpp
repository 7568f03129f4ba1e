// Loads one table into the data view window on the offscreen platform and reports how long the
// load took, the longest time the event loop went without running, the program's peak memory,
// the size of the table's text, and how fast Stop ends a second load.
//
// Usage: data_view_bench SERVER LOGIN PASSWORD DATABASE TABLE [--fetch-only]
// (SERVER as "127.0.0.1,PORT"). Prints "key: value" lines for the driving script. With
// --fetch-only it reads the table through the command routine alone and reports that.
#include "servers/exec_ado_cmd.h"
#include "servers/server_list.h"
#include "ui/tools/frm_data_view.h"
#include "ui/widgets/data_grid.h"
#include "util/memory_prompter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/resource.h>

namespace {

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct LoadFigures {
    double seconds = 0;
    qint64 longestStallMs = 0;
    // The same gap in the thread's own processor time: the work done without yielding, which
    // other programs competing for the processor cannot inflate.
    double longestStallCpuMs = 0;
    int64_t rows = 0;
    uint64_t textBytes = 0;
    size_t gridBytes = 0;
    double stopLatencyMs = -1;
    double stopLatencyCpuMs = -1;
};

// Loads the table once. With `stopAtPercent` above 0, presses Stop when that share of the rows
// has been announced and measures how long the load takes to end after the press.
LoadFigures Load(const std::string& table, const std::string& database, int stopAtPercent) {
    LoadFigures f;
    orv::frmDataView w;
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    QElapsedTimer sinceStop;
    double cpuAtStop = 0;
    bool timing = false;
    double cpuAtTick = 0;
    bool stopped = false;
    bool done = false;

    // A 1 ms timer: the gap between two of its runs is how long the event loop was blocked.
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!timing && w.Loading()) {
            timing = true;
            clock.start();
            sinceTick.start();
            cpuAtTick = ThreadCpuMs();
        }
        if (timing && w.Loading()) {
            f.longestStallMs = std::max(f.longestStallMs, sinceTick.elapsed());
            sinceTick.restart();
            const double cpu = ThreadCpuMs();
            f.longestStallCpuMs = std::max(f.longestStallCpuMs, cpu - cpuAtTick);
            cpuAtTick = cpu;
            if (stopAtPercent > 0 && !stopped &&
                w.findChild<QPushButton*>("cmdStop")->isVisible()) {
                QString shown = w.findChild<QLabel*>("lblCurRec")->text();
                const int64_t announced = shown.remove(',').toLongLong();
                if (announced * 100 >= int64_t{w.RecordCount()} * stopAtPercent) {
                    stopped = true;
                    sinceStop.start();
                    cpuAtStop = ThreadCpuMs();
                    w.findChild<QPushButton*>("cmdStop")->click();
                }
            }
        }
        if (!done && w.Activated() && !w.Loading()) {
            done = true;
            f.seconds = clock.isValid() ? clock.nsecsElapsed() / 1e9 : 0;
            if (stopped) {
                f.stopLatencyMs = sinceStop.nsecsElapsed() / 1e6;
                f.stopLatencyCpuMs = ThreadCpuMs() - cpuAtStop;
            }
            const orv::DataGridStore& store = w.Grid()->Model().Store();
            f.gridBytes = store.MemoryUsed();
            for (int64_t r = 1; r < store.Rows(); ++r) {
                if (!store.RowWritten(r))
                    continue;
                ++f.rows;
                for (int32_t c = 1; c < store.Cols(); ++c)
                    f.textBytes += store.Cell(r, c).size();
            }
            w.findChild<QPushButton*>("cmdExit")->click();
        }
    });
    tick.start();
    w.ShowUp(table, table, database, 0, 0);
    return f;
}

// The same SELECT through the command routine alone, every value turned into text: the part
// of a load that is not the window's.
double FetchOnlySeconds(const std::string& table, const std::string& database) {
    QElapsedTimer clock;
    clock.start();
    orv::RecordsetPtr rs;
    int32_t errNumber = 0;
    std::string errText;
    orv::ExecAdoCmd(orv::PanelServers()[0], orv::kAdCmdText, "SELECT * FROM " + table, rs, database,
                    errNumber, errText);
    uint64_t bytes = 0;
    for (rs->MoveFirst(); rs && !rs->IsEOF(); rs->MoveNext())
        for (int i = 0; i < rs->FieldCount(); ++i)
            bytes += rs->Value(i).Text().size();
    if (rs)
        rs->Close();
    std::printf("fetch_only_text_bytes: %llu\n", static_cast<unsigned long long>(bytes));
    return clock.nsecsElapsed() / 1e9;
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const bool fetchOnly = argc == 7 && std::string(argv[6]) == "--fetch-only";
    if (argc != 6 && !fetchOnly) {
        std::fprintf(
            stderr, "usage: data_view_bench SERVER LOGIN PASSWORD DATABASE TABLE [--fetch-only]\n");
        return 2;
    }
    orv::MemoryPrompter prompter;
    orv::SetCurrentPrompter(&prompter);
    orv::ServerEntry& panel = orv::PanelServers()[0];
    panel.Name = argv[1];
    panel.SQLAuth = true;
    panel.LoginName = argv[2];
    panel.Pwd = argv[3];

    if (fetchOnly) {
        // The record set alone, for telling its memory from the window's.
        std::printf("fetch_only_seconds: %.3f\n", FetchOnlySeconds(argv[5], argv[4]));
        std::printf("fetch_only_peak_rss_kb: %ld\n", PeakRssKb());
        return 0;
    }
    const LoadFigures full = Load(argv[5], argv[4], 0);
    const long peakKb = PeakRssKb();
    for (const auto& m : prompter.messages)
        std::fprintf(stderr, "message: %s\n", m.text.c_str());
    std::printf("rows_loaded: %lld\n", static_cast<long long>(full.rows));
    std::printf("load_seconds: %.3f\n", full.seconds);
    std::printf("longest_stall_ms: %lld\n", static_cast<long long>(full.longestStallMs));
    std::printf("longest_stall_cpu_ms: %.1f\n", full.longestStallCpuMs);
    std::printf("table_text_bytes: %llu\n", static_cast<unsigned long long>(full.textBytes));
    std::printf("peak_rss_kb: %ld\n", peakKb);
    std::printf("grid_store_bytes: %zu\n", full.gridBytes);

    std::printf("fetch_only_seconds: %.3f\n", FetchOnlySeconds(argv[5], argv[4]));

    const LoadFigures halted = Load(argv[5], argv[4], 50);
    std::printf("stop_at_half_rows: %lld\n", static_cast<long long>(halted.rows));
    std::printf("stop_latency_ms: %.1f\n", halted.stopLatencyMs);
    std::printf("stop_latency_cpu_ms: %.1f\n", halted.stopLatencyCpuMs);
    std::printf("stop_run_longest_stall_ms: %lld\n", static_cast<long long>(halted.longestStallMs));
    std::printf("stop_run_longest_stall_cpu_ms: %.1f\n", halted.longestStallCpuMs);
    return full.rows > 0 ? 0 : 1;
}
