// Reads a generated database of 50,000 objects into the catalog cache through the bulk reader
// (timed), then times searches over it as Find Object runs them: names, definition texts and
// column names, plain, with wildcards and as a regular expression, and the reference check of
// every module. Each search is run five times; the median and the worst are printed. Not part
// of the test run:
//   bench_find_object [procedures [tables [views [functions [triggers]]]]]
// (defaults 40000 5000 3000 1500 500).
#include "explore/object_search.h"
#include "explore/reference_check.h"
#include "sqlsim_process.h"
#include "test_env.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

void WriteDatabase(const std::string& path, const int n[5]) {
    std::ofstream out(path);
    out << "CREATE DATABASE FindBench\nGO\nUSE FindBench\nGO\n";
    for (int t = 0; t < n[1]; ++t) {
        out << "CREATE TABLE dbo.T" << t << " (\n    Id int NOT NULL PRIMARY KEY,\n";
        for (int c = 1; c < 8; ++c)
            out << "    Col" << c << "_" << t % 97 << " nvarchar(40) NULL"
                << (c < 7 ? ",\n" : "\n");
        out << ")\nGO\n";
    }
    for (int p = 0; p < n[0]; ++p) {
        out << "CREATE PROCEDURE dbo.usp_P" << p << " @Id int\nAS\nBEGIN\n    SET NOCOUNT ON\n"
            << "    -- keeps the rows of table " << p % n[1] << " in step\n"
            << "    SELECT Id, Col1_" << (p % n[1]) % 97 << " FROM dbo.T" << p % n[1]
            << " WHERE Id = @Id\n    UPDATE dbo.T" << (p + 1) % n[1] << " SET Col2_"
            << ((p + 1) % n[1]) % 97 << " = N'x' WHERE Id = @Id\n"
            << "    EXEC dbo.usp_P" << (p + 1) % n[0] << " @Id\nEND\nGO\n";
    }
    for (int v = 0; v < n[2]; ++v)
        out << "CREATE VIEW dbo.vw_V" << v << "\nAS\nSELECT Id FROM dbo.T" << v % n[1] << "\nGO\n";
    for (int f = 0; f < n[3]; ++f)
        out << "CREATE FUNCTION dbo.fn_F" << f << " (@Id int)\nRETURNS int\nAS\nBEGIN\n"
            << "    RETURN (SELECT COUNT(*) FROM dbo.T" << f % n[1]
            << " WHERE Id = @Id)\nEND\nGO\n";
    for (int g = 0; g < n[4]; ++g)
        out << "CREATE TRIGGER dbo.trg_G" << g << " ON dbo.T" << g % n[1]
            << " AFTER INSERT\nAS\nSET NOCOUNT ON\nGO\n";
}

} // namespace

int main(int argc, char** argv) {
    int n[5] = {40000, 5000, 3000, 1500, 500};
    for (int i = 1; i < argc && i <= 5; ++i)
        n[i - 1] = std::atoi(argv[i]);
    orv::test::TestEnv env;
    const std::string script = env.PathOf("find_bench.sql");
    WriteDatabase(script, n);
    orv::test::SqlsimOptions o;
    o.version = "10.50.1600.1";
    o.scriptFiles = {script};
    orv::test::SqlsimProcess sim(o);
    std::string error;
    const auto s0 = Clock::now();
    if (!sim.Start(error, 1800000)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 2;
    }
    std::printf("simulator loaded %d objects in %.0f ms\n", n[0] + n[1] + n[2] + n[3] + n[4],
                Ms(s0, Clock::now()));
    orv::ServerEntry server;
    server.Name = sim.ServerName();
    server.SQLAuth = true;
    server.LoginName = o.login;
    server.Pwd = o.password;
    server.Version = o.version;
    server.VersionMajor = 10;

    orv::DbCatalogCache cache;
    orv::NullProgressSink progress;
    orv::CancelToken cancel;
    const auto l0 = Clock::now();
    orv::CatalogLoad load =
        cache.Load(orv::QueryPlace{server, "FindBench", 0}, orv::SearchableTypes(),
                   orv::CatalogReadOptions{}, progress, cancel);
    const auto l1 = Clock::now();
    if (!load.Catalog) {
        std::fprintf(stderr, "load: %s\n", load.Problem.c_str());
        return 2;
    }
    size_t objects = 0, bytes = 0;
    for (const auto& [type, read] : load.Catalog->Types)
        for (const auto& obj : read.Objects) {
            ++objects;
            bytes += obj.Text.size();
        }
    std::printf("catalog read: %zu objects, %.1f MB of text, %.0f ms\n", objects, bytes / 1e6,
                Ms(l0, l1));

    struct Case {
        const char* label;
        const char* pattern;
        bool regex;
        unsigned in;
    };
    const Case cases[] = {
        {"names, plain", "P1234", false, orv::kSearchNames},
        {"names, wildcard", "usp_P12*5", false, orv::kSearchNames},
        {"names, regex", "^fn_F1[0-9]+$", true, orv::kSearchNames},
        {"columns, plain", "Col3_42", false, orv::kSearchColumns},
        {"texts, plain", "usp_P4242 ", false, orv::kSearchTexts},
        {"texts, plain case-sensitive", "dbo.T4999 ", false, orv::kSearchTexts},
        {"texts, wildcard", "UPDATE dbo.T12?? SET", false, orv::kSearchTexts},
        {"texts, regex", "T49[0-9]{2} WHERE", true, orv::kSearchTexts},
        {"names+texts+columns, plain", "Col7_96", false,
         orv::kSearchNames | orv::kSearchTexts | orv::kSearchColumns},
    };
    for (const Case& c : cases) {
        const bool cs = std::string(c.label).find("case-sensitive") != std::string::npos;
        auto pattern = orv::SearchPattern::Compile(c.pattern, c.regex, cs, error);
        orv::SearchRequest r;
        r.In = c.in;
        std::vector<double> times;
        size_t found = 0;
        for (int k = 0; k < 5; ++k) {
            const auto t0 = Clock::now();
            found = orv::SearchCatalog(*load.Catalog, r, *pattern).Matches.size();
            times.push_back(Ms(t0, Clock::now()));
        }
        std::sort(times.begin(), times.end());
        std::printf("search %-28s %7zu matches  median %7.1f ms  worst %7.1f ms\n", c.label, found,
                    times[2], times[4]);
    }
    const auto r0 = Clock::now();
    const auto findings = orv::CheckCatalogReferences(*load.Catalog);
    std::printf("reference check of every module: %zu findings, %.0f ms\n", findings.size(),
                Ms(r0, Clock::now()));
    return 0;
}
