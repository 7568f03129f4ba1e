// orvane-cli marks differing lines over the whole texts by default, and with the classic
// 20-line look-ahead when --classic-line-matching (or the stored setting) asks for it: the
// statuses of compare --marks and the differing-line counts of compare-all follow.
#include "cli_runner.h"
#include "compare/comp_line.h"
#include "core/registry.h"
#include "core/settings.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace orv {
namespace {

using test::CatalogSim;
using test::CliResult;

// A procedure of 60 statements, and in the Target the same with 25 more after the 30th.
std::string Procedure(bool withInsertion) {
    std::string text = "CREATE PROCEDURE dbo.usp_Settle AS\nBEGIN\n";
    for (int i = 0; i < 60; ++i) {
        text += "    UPDATE dbo.Ledger SET Step = " + std::to_string(i) +
                " WHERE Id = " + std::to_string(i % 9) + ";\n";
        if (withInsertion && i == 30)
            for (int k = 0; k < 25; ++k)
                text += "    PRINT 'audit " + std::to_string(k) + "';\n";
    }
    return text + "END\n";
}

std::string Script() {
    return "CREATE DATABASE Src\nGO\nUSE Src\nGO\n" + Procedure(false) +
           "GO\nCREATE DATABASE Tgt\nGO\nUSE Tgt\nGO\n" + Procedure(true) + "GO\n";
}

// Lines of --marks output with the status code.
int CountStatus(const std::string& out, int status) {
    std::istringstream in(out);
    std::string line;
    int n = 0;
    const std::string code = "\t" + std::to_string(status) + "\t";
    while (std::getline(in, line))
        n += line.find(code) == 1 ? 1 : 0;
    return n;
}

// The differing_lines field of the procedure's CSV record.
std::string DifferingLines(const std::string& csv) {
    std::istringstream in(csv);
    std::string line;
    while (std::getline(in, line))
        if (line.find("usp_Settle") != std::string::npos) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            // type,schema,name,status,source_modified,target_modified,differing_lines,note
            std::istringstream fields(line);
            std::string field;
            for (int i = 0; i < 7; ++i)
                std::getline(fields, field, ',');
            return field;
        }
    return "(no record)";
}

using LineMatchingCli = test::CliTest;

TEST_P(LineMatchingCli, MarksAndCountsFollowTheMatching) {
    CatalogSim f(GetParam(), {}, {Script()});
    ASSERT_SIM_STARTED(f);
    Store(f);
    const std::string server = "'" + f.server.Name + "'";
    const std::string pair = server + " Src " + server + " Tgt";
    const std::string compare = "compare --marks " + pair + " procedures usp_Settle";
    const std::string all = "compare-all --types procedures --format csv " + pair;

    const CliResult whole = Run(compare);
    EXPECT_EQ(whole.status, 1) << whole.err;
    EXPECT_EQ(CountStatus(whole.out, LineOnlyInTarget), 25) << whole.out;
    EXPECT_EQ(CountStatus(whole.out, LineChanged), 0);
    EXPECT_EQ(CountStatus(whole.out, LineOnlyInSource), 0);
    const CliResult wholeAll = Run(all);
    EXPECT_EQ(wholeAll.status, 1) << wholeAll.err;
    EXPECT_EQ(DifferingLines(wholeAll.out), "25") << wholeAll.out;

    // The switch brings back the look-ahead, which pairs the lines after the block as changed.
    const CliResult classic = Run("--classic-line-matching " + compare);
    EXPECT_EQ(classic.status, 1) << classic.err;
    EXPECT_GT(CountStatus(classic.out, LineChanged), 0) << classic.out;
    const CliResult classicAll = Run(all + " --classic-line-matching");
    EXPECT_EQ(classicAll.status, 1) << classicAll.err;
    const std::string classicCount = DifferingLines(classicAll.out);
    EXPECT_GT(std::atoi(classicCount.c_str()), 25) << classicAll.out;
    // The verdict line is the same either way.
    EXPECT_EQ(classic.out.substr(0, classic.out.find("\nS\t")),
              whole.out.substr(0, whole.out.find("\nS\t")));

    // The stored setting does the same without the switch.
    SetRegDword(HKEY_CURRENT_USER, kKeyComparisons, "ClassicLineMatching", 1);
    std::filesystem::copy_file(f.env.RegistryFile(), f.env.PathOf("xdg/orvane/registry.reg"),
                               std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(Run(compare).out, classic.out);
    EXPECT_EQ(DifferingLines(Run(all).out), classicCount);
}

// The matching does not depend on the server's version; one is enough.
INSTANTIATE_TEST_SUITE_P(Catalog, LineMatchingCli,
                         ::testing::Values(std::string(test::kVersion2008)), test::VersionName);

} // namespace
} // namespace orv
