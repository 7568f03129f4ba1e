// Many sessions at once: each reads the catalog and data correctly while another writes.
#include "test_engine_support.h"

#include <thread>

using namespace sqlsim;
using namespace sqlsim::test;

TEST(EngineConcurrency, ThirtyTwoSessionsReadWhileDdlRuns) {
    EngineFixture f;
    f.script(fixture("sim_catalog.sql"));
    constexpr int kSessions = 32;
    std::vector<std::unique_ptr<Session>> sessions;
    for (int k = 0; k < kSessions; ++k)
        sessions.push_back(f.open("CatalogDb"));
    std::atomic<int> failures{0};
    std::vector<std::string> problems(kSessions);
    std::vector<std::thread> threads;
    for (int k = 0; k < kSessions; ++k) {
        threads.emplace_back([&, k] {
            std::atomic<bool> cancel{false};
            for (int round = 0; round < 15; ++round) {
                CaptureSink a;
                sessions[k]->executeBatch(
                    "select name, refdate, id from sysobjects where OBJECTPROPERTY(id, "
                    "N'IsProcedure') = 1 order by name\nSELECT COUNT(*) AS RecsCount FROM [Orders]",
                    a, cancel);
                bool ok =
                    a.error() == nullptr && a.sets.size() == 2 &&
                    a.sets[0].column(0) == std::vector<std::string>{"GetCustomers", "Secret"} &&
                    a.sets[1].at(0, 0) == "3";
                if (!ok) {
                    ++failures;
                    problems[k] = a.errorText();
                    return;
                }
            }
        });
    }
    // A writer creates tables meanwhile; readers must neither fail nor see torn catalogs.
    std::thread writer([&] {
        auto w = f.open("CatalogDb");
        for (int n = 0; n < 10; ++n) {
            CaptureSink s = f.run("CREATE TABLE Extra" + std::to_string(n) +
                                      " (id int PRIMARY KEY)\nINSERT INTO Extra" +
                                      std::to_string(n) + " VALUES (1)",
                                  w.get());
            if (s.error()) {
                ++failures;
                problems[0] = "writer: " + s.errorText();
            }
        }
    });
    for (auto& t : threads)
        t.join();
    writer.join();
    EXPECT_EQ(failures.load(), 0);
    for (const auto& p : problems)
        EXPECT_EQ(p, "");
    EXPECT_EQ(
        f.query("SELECT COUNT(*) FROM CatalogDb..sysobjects WHERE name LIKE 'Extra%'").at(0, 0),
        "10");
}
