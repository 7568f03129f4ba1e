// Times the marking of differing lines on a 10,000-line procedure and the same procedure with a
// 64-line step inserted, against GNU diff on the same texts written to files. Not part of the
// test run: `marking_bench [lines] [rounds]`.
//
// "marking" is the matching of the two line arrays (what the whole-text matching replaced);
// "mark with views" adds splitting both views into lines and painting every line, which the
// window's comparison does on top. diff's figure includes starting the process and reading the
// two files, as a user of diff pays it.
#include "compare/mark_differences.h"
#include "compare/tx_text.h"
#include "long_procedure_text.h"
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
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string Join(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines)
        s += l + "\n";
    return s;
}

double RunDiff(const std::string& fileA, const std::string& fileB) {
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout))
            _exit(127);
        execlp("diff", "diff", fileA.c_str(), fileB.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double ms = Since(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
        std::fprintf(stderr, "diff failed\n");
        std::exit(2);
    }
    return ms;
}

size_t Marked(const orv::CompLines& lines) {
    return static_cast<size_t>(std::count_if(
        lines.begin(), lines.end(), [](const auto& l) { return l.Status != orv::LineSame; }));
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 21;
    orv::MemoryPrompter prompter;
    orv::SetCurrentPrompter(&prompter);

    const auto procedure = orv::test::MaintenanceProcedure(lines);
    size_t at = 0;
    const auto changed = orv::test::WithInsertedStep(procedure, lines * 2 / 5, 64, at);
    const std::string a = Join(procedure), b = Join(changed);
    const auto dir =
        std::filesystem::temp_directory_path() / ("orv_marking_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string fileA = (dir / "source.sql").string(), fileB = (dir / "target.sql").string();
    std::ofstream(fileA, std::ios::binary) << a;
    std::ofstream(fileB, std::ios::binary) << b;

    const orv::CompLines sourceLines = orv::SplitIntoLines(a), targetLines = orv::SplitIntoLines(b);
    std::vector<double> marking, classic, withViews, diff;
    size_t markedWhole = 0, markedClassic = 0;
    for (int r = 0; r < rounds; ++r) {
        orv::CompLines s = sourceLines, t = targetLines;
        auto start = Clock::now();
        orv::MatchLines(s, t);
        marking.push_back(Since(start));
        markedWhole = Marked(s) + Marked(t);

        s = sourceLines;
        t = targetLines;
        start = Clock::now();
        orv::MatchLines(s, t, orv::LineMatching::LookAhead);
        classic.push_back(Since(start));
        markedClassic = Marked(s) + Marked(t);

        orv::MemoryTextView source, target;
        source.SetText(a);
        target.SetText(b);
        orv::CompLines vs, vt;
        int32_t error = 0;
        start = Clock::now();
        orv::Mark_Differences(source, target, vs, vt, error);
        withViews.push_back(Since(start));

        diff.push_back(RunDiff(fileA, fileB));
    }
    std::filesystem::remove_all(dir);

    const double m = Median(marking), d = Median(diff);
    std::printf("texts: %zu and %zu lines (%zu inserted at line %zu), median of %d rounds\n",
                procedure.size(), changed.size(), changed.size() - procedure.size(), at + 1,
                rounds);
    std::printf("lines marked, whole-text matching:   %zu\n", markedWhole);
    std::printf("lines marked, classic look-ahead:    %zu\n", markedClassic);
    std::printf("marking (whole-text matching):       %.3f ms\n", m);
    std::printf("marking (classic look-ahead):        %.3f ms\n", Median(classic));
    std::printf("mark with views (split, match, paint): %.3f ms\n", Median(withViews));
    std::printf("GNU diff (fork, exec, run):          %.3f ms\n", d);
    std::printf("ratio marking / diff:                %.2f\n", m / d);
    return m / d <= 1.5 ? 0 : 1;
}
