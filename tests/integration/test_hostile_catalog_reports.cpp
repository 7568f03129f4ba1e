// Record counts, the database information report and every orvane-cli command on the hostile
// catalog: the right table counted under every name, the report naming each object whole, the
// command line passing names through untouched, and nothing but the program's own SQL received.
#include "catalog/db_info_report.h"
#include "catalog/listing.h"
#include "catalog/record_counts.h"
#include "catalog/schemas.h"
#include "cli_runner.h"
#include "test_hostile_catalog.h"
#include "util/memory_list_control.h"
#include "util/memory_text_view.h"
#include "util/text.h"

#include <cstdio>
#include <fcntl.h>
#include <map>
#include <unistd.h>

namespace orv {
namespace {

using namespace test::hostile;
using test::kVersion2000;

// Rows per table, by the name the table has in dbo (or its only schema).
std::map<std::string, int> ExpectedCounts() {
    return {{"Victim", 3},
            {"[Victim]", 1},
            {"顧客表", 2},
            {"O'Brien's Orders", 2},
            {"'; DROP TABLE Victim --", 1},
            {"a]b", 0},
            {"[x", 2},
            {"semi;colon", 0},
            {"dash--dash", 0},
            {"slash/*star", 0},
            {"100%_off", 1},
            {"Заказы", 1},
            {"Πελάτες", 0},
            {"📦 Parcels 🚚", 1},
            {"Ledger'; --", 2},
            {"Sales.Q1.Final", 2},
            {"x'); DROP TABLE dbo.Victim; --", 1},
            {Name128Ascii(), 1},
            {Name128Cyrillic(), 2},
            {Name128Emoji(), 0},
            {WideTableName(), kWideRows}};
}

class Runner : public DbInfoRunner {
public:
    void ShowProgress(const std::string& caption) override { captions.push_back(caption); }
    void StepStarted(int, const std::string&) override {}
    void ListingStarted() override {}
    void StepFinished(int, const std::string&) override {}
    void UpdateElapsed() override {}
    std::vector<std::string> captions;
};

class HostileCounts : public test::BothVersions {};

TEST_P(HostileCounts, EveryTableIsCountedUnderItsOwnName) {
    HostileSim f(GetParam());
    ASSERT_SIM_STARTED(f);
    MemoryListControl list;
    MemoryTextView view;
    LoadObjects(f.server, list, view, kTypeTable, kDb, false);
    std::multimap<std::string, int> counted;
    for (int row = 0; row < list.Count(); ++row) {
        int32_t id = 0;
        ParseInt32(list.CellText(row, 2), id);
        const std::string listed = list.CellText(row, 0);
        std::string extended = GetExtendedObjectName(f.server, kDb, listed, kTypeTable, id);
        counted.emplace(listed, GetNumberOfRecordsInTable(f.server, extended, kDb));
    }
    auto countsOf = [&](const std::string& listed) {
        std::multiset<int> rows;
        for (auto [it, end] = counted.equal_range(listed); it != end; ++it)
            rows.insert(it->second);
        return rows;
    };
    for (const auto& [name, rows] : ExpectedCounts())
        EXPECT_EQ(countsOf(name), std::multiset<int>{rows}) << name;
    // A name two schemas hold is counted in each: a 2000 server lists it twice, bare, and
    // only the id tells the two apart.
    if (GetParam() == kVersion2000) {
        EXPECT_EQ(countsOf("Dup'"), (std::multiset<int>{0, 1}));
        EXPECT_EQ(countsOf("Import.2019"), (std::multiset<int>{1, 3}));
    } else {
        EXPECT_EQ(countsOf("dbo.Dup'"), std::multiset<int>{0});
        EXPECT_EQ(countsOf(std::string(kOddSchema) + ".Dup'"), std::multiset<int>{1});
        EXPECT_EQ(countsOf("dbo.Import.2019"), std::multiset<int>{3});
        EXPECT_EQ(countsOf(std::string(kCyrillicSchema) + ".Import.2019"), std::multiset<int>{1});
    }
    EXPECT_TRUE(f.env.prompter.messages.empty());
    f.ExpectCleanLog();
}

TEST_P(HostileCounts, DatabaseReportNamesAndCountsEveryObject) {
    HostileSim f(GetParam());
    ASSERT_SIM_STARTED(f);
    Runner runner;
    std::string text;
    ASSERT_TRUE(BuildDbInfoReport(runner, f.server, kDb, "Dec 01, 2026", text));
    EXPECT_EQ(text.find("ABORTED"), std::string::npos) << text;
    EXPECT_EQ(text.find("There are no"), std::string::npos) << text;
    for (const auto& [name, rows] : ExpectedCounts())
        EXPECT_NE(text.find("  " + name + RecordCountText(rows) + "\r\n"), std::string::npos)
            << name;
    // A name in two schemas is written with its schema, and each is counted in its own.
    EXPECT_NE(text.find(".Dup' (0 records)\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(".Dup' (1 record)\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(".Import.2019 (3 records)\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(".Import.2019 (1 record)\r\n"), std::string::npos) << text;
    std::set<std::string> others = Procedures();
    for (const auto& set : {Views(), Functions(), Triggers(), Relationships()})
        others.insert(set.begin(), set.end());
    for (const auto& name : others)
        EXPECT_NE(text.find("  " + name + "\r\n"), std::string::npos) << name;
    EXPECT_TRUE(f.env.prompter.messages.empty());
    f.ExpectCleanLog();
}

INSTANTIATE_TEST_SUITE_P(Catalog, HostileCounts,
                         ::testing::Values(std::string(kVersion2000),
                                           std::string(test::kVersion2008)),
                         test::VersionName);

// The command line, each word handed over as it is (no shell in between).
class HostileCli : public test::CliTest {
protected:
    test::CliResult Exec(const std::vector<std::string>& words) {
        std::vector<std::string> args = {ORV_CLI_PATH};
        args.insert(args.end(), words.begin(), words.end());
        const std::string outFile = home_ + "/out.txt", errFile = home_ + "/err.txt";
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
            setenv("HOME", home_.c_str(), 1);
            const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        test::CliResult r;
        int status = 0;
        waitpid(pid, &status, 0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = test::ReadTextFile(outFile);
        r.err = test::ReadTextFile(errFile);
        return r;
    }
};

TEST_P(HostileCli, EveryCommandTakesTheNamesAsData) {
    HostileSim f(GetParam());
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string server = f.server.Name;

    test::CliResult r = Exec({"list", server, kDb, "tables"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::multiset<std::string> listed;
    for (const auto& line : Split(r.out, "\n"))
        if (!line.empty())
            listed.insert(line.substr(0, line.find('\t')));
    for (const auto& name : Tables())
        EXPECT_GE(listed.count(name) + listed.count("dbo." + name), 1u) << name;

    for (const auto& [name, rows] : ExpectedCounts()) {
        r = Exec({"count", server, kDb, name});
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        EXPECT_EQ(r.out, std::to_string(rows) + "\n") << name;
    }
    // schema.name, whether the server lists it so (later servers: the name is shared) or not.
    for (const auto& [name, rows] :
         std::map<std::string, int>{{"dbo.Import.2019", 3},
                                    {std::string(kCyrillicSchema) + ".Import.2019", 1},
                                    {"dbo.Sales.Q1.Final", 2},
                                    {std::string(kCyrillicSchema) + ".Ledger'; --", 2}}) {
        r = Exec({"count", server, kDb, name});
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        EXPECT_EQ(r.out, std::to_string(rows) + "\n") << name;
    }
    r = Exec({"count", server, kDb, "sales.Import.2019"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;

    r = Exec({"show", server, kDb, "procedures", BigModuleName()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == ReplaceAll(BigModuleText(), "\n", "\r\n"))
        << r.out.size() << " bytes against " << BigModuleText().size();

    r = Exec({"show", server, kDb, "tables", WideTableName()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Split(r.out, "\r\n").size(), static_cast<size_t>(kWideColumns));

    r = Exec({"create", server, kDb, "triggers", "tr';--"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("object_id('" + std::string(GetParam() == kVersion2000 ? "" : "[dbo].") +
                         "[tr'';--]') AND OBJECTPROPERTY(id, 'IsTrigger') = 1)"),
              std::string::npos)
        << r.out;

    r = Exec({"create", server, kDb, "tables", "dbo.Import.2019"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("CREATE TABLE " + std::string(GetParam() == kVersion2000 ? "" : "[dbo].") +
                         "[Import.2019] (\r\n[Id] [int] IDENTITY(5,2) NOT NULL,"),
              std::string::npos)
        << r.out;

    // The whole report, its dotted names counted in their own tables.
    r = Exec({"dbinfo", server, kDb});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("ABORTED"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  " + Name128Emoji() + " (0 records)\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("  [Victim] (1 record)\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("  x'); DROP TABLE dbo.Victim; -- (1 record)\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("  Sales.Q1.Final (2 records)\r\n"), std::string::npos);
    EXPECT_NE(r.out.find(".Import.2019 (3 records)\r\n"), std::string::npos);
    EXPECT_NE(r.out.find(".Import.2019 (1 record)\r\n"), std::string::npos);
    EXPECT_NE(r.out.find("List of triggers\r\n"), std::string::npos);

    // The same object on both sides is identical; two different ones are not.
    const std::string passwordFile = home_ + "/password.txt";
    {
        std::FILE* file = std::fopen(passwordFile.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fprintf(file, "%s\n", f.sim->Options().password.c_str());
        std::fclose(file);
    }
    const std::vector<std::string> login = {"compare", "--login", f.sim->Options().login,
                                            "--password-file", passwordFile};
    auto compare = [&](const std::string& type, const std::string& a, const std::string& b) {
        std::vector<std::string> words = login;
        for (const auto& w : {server, std::string(kDb), server, std::string(kDb), type, a, b})
            words.push_back(w);
        return Exec(words);
    };
    EXPECT_EQ(compare("procedures", BigModuleName(), BigModuleName()).status, 0);
    EXPECT_EQ(compare("tables", WideTableName(), WideTableName()).status, 0);
    r = compare("procedures", "usp_O'Neil; DROP TABLE Victim --", "процедура");
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    // Dotted names: each side is the table its name means, in either schema.
    r = compare("tables", "x'); DROP TABLE dbo.Victim; --", "x'); DROP TABLE dbo.Victim; --");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    r = compare("tables", "Sales.Q1.Final", "dbo.Sales.Q1.Final");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    r = compare("tables", "dbo.Import.2019", std::string(kCyrillicSchema) + ".Import.2019");
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    r = compare("views", "Import.v2", "v]iew/*");
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    r = compare("tables", "Sales.Q1.Final", "Sales.Q1");
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_NE(r.err.find("Target object not found: Table 'Sales.Q1'"), std::string::npos) << r.err;
    f.ExpectCleanLog();
}

INSTANTIATE_TEST_SUITE_P(Catalog, HostileCli,
                         ::testing::Values(std::string(kVersion2000),
                                           std::string(test::kVersion2008)),
                         test::VersionName);

} // namespace
} // namespace orv
