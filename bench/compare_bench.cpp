// Times the whole comparison with marking of two 30,000-line texts against GNU diff on the same
// texts. Not part of the test run: `compare_bench [lines] [rounds]`.
#include "compare/compare_sel_procs.h"
#include "util/memory_prompter.h"
#include "util/memory_text_view.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// A procedure-like text and a copy with scattered changed, inserted and deleted lines.
void BuildTexts(int lines, std::string& a, std::string& b) {
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> pick(0, 99);
    for (int i = 0; i < lines; ++i) {
        const std::string line = "    SELECT col" + std::to_string(i % 97) + ", col" +
                                 std::to_string(i) + " FROM dbo.Table" + std::to_string(i / 50) +
                                 " WHERE id = " + std::to_string(i * 7) + "\r\n";
        a += line;
        const int r = pick(rng);
        if (r == 0)
            b += "    -- changed " + std::to_string(i) + "\r\n";
        else if (r == 1)
            continue; // deleted
        else if (r == 2)
            b += line + "    PRINT 'inserted " + std::to_string(i) + "'\r\n";
        else
            b += line;
    }
}

double RunDiff(const std::string& fileA, const std::string& fileB) {
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        freopen("/dev/null", "w", stdout);
        execlp("diff", "diff", fileA.c_str(), fileB.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
        std::fprintf(stderr, "diff failed\n");
        std::exit(2);
    }
    return ms;
}

struct ComparisonTimes {
    double load = 0;    // putting both texts into the views
    double compare = 0; // deciding, the line-order check and the marking
};

ComparisonTimes RunComparison(const std::string& a, const std::string& b, size_t& changedLines) {
    orv::MemoryTextView source, target;
    ComparisonTimes t;
    auto start = Clock::now();
    source.SetText(a);
    target.SetText(b);
    t.load = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    orv::CompareRequest request;
    request.sourceView = &source;
    request.targetView = &target;
    request.names.TypeNamePlural = "procedures";
    request.options = orv::CompareOptions{}; // the defaults: whitespace, comments, column order
    start = Clock::now();
    const orv::CompareResult result = orv::CompareSelProcs(request);
    t.compare = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (!result.Marked || result.Identical) {
        std::fprintf(stderr, "comparison did not mark the texts\n");
        std::exit(2);
    }
    changedLines = 0;
    for (const auto& l : result.SourceLines)
        changedLines += l.Status != orv::LineSame;
    return t;
}

} // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::atoi(argv[1]) : 30000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
    orv::MemoryPrompter prompter;
    orv::SetCurrentPrompter(&prompter);

    std::string a, b;
    BuildTexts(lines, a, b);
    const auto dir =
        std::filesystem::temp_directory_path() / ("orv_compare_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string fileA = (dir / "source.sql").string(), fileB = (dir / "target.sql").string();
    std::ofstream(fileA, std::ios::binary) << a;
    std::ofstream(fileB, std::ios::binary) << b;

    double bestCompare = 1e300, bestLoad = 1e300, bestDiff = 1e300;
    size_t changed = 0;
    for (int r = 0; r < rounds; ++r) {
        const ComparisonTimes t = RunComparison(a, b, changed);
        bestCompare = std::min(bestCompare, t.compare);
        bestLoad = std::min(bestLoad, t.load);
        bestDiff = std::min(bestDiff, RunDiff(fileA, fileB));
    }
    std::filesystem::remove_all(dir);

    std::printf("lines: %d, source lines not the same: %zu, best of %d rounds\n", lines, changed,
                rounds);
    std::printf("comparison with marking:      %.2f ms\n", bestCompare);
    std::printf("  plus loading the two views: %.2f ms\n", bestLoad);
    std::printf("GNU diff (fork, exec, run):   %.2f ms\n", bestDiff);
    std::printf("ratio comparison / diff:      %.2f\n", bestCompare / bestDiff);
    std::printf("ratio with loading / diff:    %.2f\n", (bestCompare + bestLoad) / bestDiff);
    return 0;
}
