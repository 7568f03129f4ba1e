// The two ways of reading module texts against each other: every whole-database fixture pair,
// under both server versions and the comparison options that forgive whitespace, case and
// comments or forgive nothing, gives the same results object for object whether every text is
// read or only the texts whose fingerprints differ. A 2000 server is always read in full.
#include "dbcompare_support.h"
#include "test_catalog_sim.h"
#include "test_hostile_catalog.h"

#include <set>

namespace orv::test {
namespace {

struct FixturePair {
    const char* name;
    std::vector<std::string> fixtures;
    std::vector<std::string> scripts;
    const char* source;
    const char* target;
};

std::vector<FixturePair> Pairs() {
    return {
        {"Demo",
         {"demo_source.sql", "demo_target.sql"},
         {},
         "OrvaneDemoSource",
         "OrvaneDemoTarget"},
        {"MainWindow", {"mw_pair.sql"}, {}, "MwSource", "MwTarget"},
        {"BadInput", {}, {BadInputScript()}, "BadL", "BadR"},
        {"AgainstEmpty", {}, {BadInputScript()}, "BadL", "BadEmpty"},
        {"HostileItself",
         {"hostile_catalog.sql"},
         hostile::GeneratedScripts(),
         hostile::kDb,
         hostile::kDb},
    };
}

std::vector<std::pair<const char*, CompareOptions>> OptionSets() {
    CompareOptions strict;
    strict.IgnoreWhitespace = false;
    strict.CaseSensitive = true;
    strict.IgnoreComments = false;
    strict.IgnoreColSeq = false;
    CompareOptions caseCounts;
    caseCounts.CaseSensitive = true;
    return {{"Defaults", CompareOptions{}}, {"Strict", strict}, {"CaseCounts", caseCounts}};
}

std::string Label(const PairVerdict& p) {
    const ObjectRef& ref = p.HasSource ? p.Source : p.Target;
    return GetObjectTypeName(p.Type, true) + " " + ref.Schema + "." + ref.Name;
}

// The hash-first results against the full reading's, pair by pair. A pair whose texts were
// not read must be one the full reading calls identical; every other pair must carry the very
// texts, marks and verdict of the full reading. Returns how many pairs went unread.
size_t ExpectSameResults(const DbCompareResults& full, const DbCompareResults& hashed,
                         const std::string& label) {
    EXPECT_TRUE(full.Complete()) << label << ": " << full.Problem;
    EXPECT_TRUE(hashed.Complete()) << label << ": " << hashed.Problem;
    EXPECT_EQ(hashed.AllIdentical(), full.AllIdentical()) << label;
    if (full.Pairs.size() != hashed.Pairs.size()) {
        ADD_FAILURE() << label << ": " << full.Pairs.size() << " pairs read in full, "
                      << hashed.Pairs.size() << " hash-first";
        return 0;
    }
    size_t unread = 0;
    for (size_t i = 0; i < full.Pairs.size(); ++i) {
        const PairVerdict& f = full.Pairs[i];
        const PairVerdict& h = hashed.Pairs[i];
        const std::string what = label + ": " + Label(f);
        if (Label(h) != Label(f)) {
            ADD_FAILURE() << label << " pair " << i << ": " << Label(h) << " against " << Label(f);
            return unread;
        }
        EXPECT_EQ(h.Status, f.Status) << what;
        EXPECT_EQ(h.HasSource, f.HasSource) << what;
        EXPECT_EQ(h.HasTarget, f.HasTarget) << what;
        EXPECT_EQ(h.Source.Id, f.Source.Id) << what;
        EXPECT_EQ(h.Target.Id, f.Target.Id) << what;
        EXPECT_EQ(h.Source.Modified, f.Source.Modified) << what;
        EXPECT_EQ(h.Target.Modified, f.Target.Modified) << what;
        EXPECT_EQ(h.Reason, f.Reason) << what;
        EXPECT_EQ(h.ColumnsIgnored, f.ColumnsIgnored) << what;
        EXPECT_TRUE(f.TextsRead) << what;
        if (!h.TextsRead) {
            ++unread;
            EXPECT_EQ(f.Status, PairStatus::Identical) << what;
            EXPECT_TRUE(IsModuleType(h.Type)) << what;
            EXPECT_TRUE(h.SourceText.empty() && h.TargetText.empty()) << what;
            continue;
        }
        EXPECT_TRUE(h.SourceText == f.SourceText) << what;
        EXPECT_TRUE(h.TargetText == f.TargetText) << what;
        EXPECT_EQ(DifferingLineCount(h), DifferingLineCount(f)) << what;
    }
    return unread;
}

class DbCompareReading : public BothVersions {};

TEST_P(DbCompareReading, EveryFixturePairGivesTheSameResultsEitherWay) {
    const bool v8 = GetParam() == kVersion2000;
    size_t unread = 0;
    for (const FixturePair& pair : Pairs()) {
        CatalogSim f(GetParam(), pair.fixtures, pair.scripts);
        ASSERT_SIM_STARTED(f);
        for (const auto& [optionsName, options] : OptionSets()) {
            const std::string label = std::string(pair.name) + " " + optionsName;
            DbCompareRequest request = RequestFor(f.server, pair.source, f.server, pair.target);
            request.Options = options;
            request.Reading = CompareReading::Full;
            f.sim->ClearStatements();
            const DbCompareResultsPtr full = Compare(request);
            EXPECT_EQ(full->Reading, CompareReading::Full) << label;
            EXPECT_EQ(full->Fingerprints, FingerprintForm::None) << label;
            for (const CompareReading asked : {CompareReading::HashFirst, CompareReading::Auto}) {
                request.Reading = asked;
                f.sim->ClearStatements();
                const DbCompareResultsPtr hashed = Compare(request);
                const std::string run = label + " " + CompareReadingWord(asked);
                unread += ExpectSameResults(*full, *hashed, run);
                // A 2000 server has no usable fingerprint: it is read in full whatever is asked.
                EXPECT_EQ(hashed->Reading, v8 ? CompareReading::Full : CompareReading::HashFirst)
                    << run;
                // A deployment checks the Target against these later, in the same form.
                EXPECT_EQ(hashed->Fingerprints,
                          v8 ? FingerprintForm::None : FingerprintForm::CommentRows)
                    << run;
                bool fingerprinted = false;
                for (const std::string& sql : f.Sql(pair.source))
                    fingerprinted = fingerprinted || sql.find("HASHBYTES") != std::string::npos;
                EXPECT_EQ(fingerprinted, !v8) << run;
            }
        }
    }
    if (v8)
        EXPECT_EQ(unread, 0u);
    else
        EXPECT_GT(unread, 200u) << "hash-first must leave the texts of identical pairs unread";
}

// From 2016 a module's whole definition is fingerprinted in one piece, and a 2008 R2 server
// against a 2016 one falls back to the pieces both can hash.
TEST(DbCompareReading2016, WholeDefinitionsOrTheOlderServersPiecesGiveTheSameResults) {
    constexpr const char* k2016 = "13.0.1601.5";
    size_t unread = 0;
    for (const FixturePair& pair : {Pairs()[0], Pairs()[4]}) {
        CatalogSim f(k2016, pair.fixtures, pair.scripts);
        CatalogSim older(kVersion2008, pair.fixtures, pair.scripts);
        ASSERT_SIM_STARTED(f);
        ASSERT_SIM_STARTED(older);
        for (const CatalogSim* sourceSim : {&f, &older}) {
            DbCompareRequest request =
                RequestFor(sourceSim->server, pair.source, f.server, pair.target);
            request.Reading = CompareReading::Full;
            const DbCompareResultsPtr full = Compare(request);
            request.Reading = CompareReading::Auto;
            f.sim->ClearStatements();
            const DbCompareResultsPtr hashed = Compare(request);
            const bool both2016 = sourceSim == &f;
            const std::string label = std::string(pair.name) + (both2016 ? " 2016" : " mixed");
            unread += ExpectSameResults(*full, *hashed, label);
            EXPECT_EQ(hashed->Reading, CompareReading::HashFirst) << label;
            bool wholeModules = false;
            for (const std::string& sql : f.Sql(pair.target))
                wholeModules = wholeModules || sql.find("sys.sql_modules") != std::string::npos;
            EXPECT_EQ(wholeModules, both2016) << label;
            EXPECT_EQ(hashed->Fingerprints,
                      both2016 ? FingerprintForm::WholeModule : FingerprintForm::CommentRows)
                << label;
        }
    }
    EXPECT_GT(unread, 20u);
}

TEST(DbCompareReadingMixed, A2000ServerOnEitherSideMakesBothSidesReadInFull) {
    CatalogSim old(kVersion2000, {"demo_source.sql"});
    CatalogSim later(kVersion2008, {"demo_source.sql"});
    ASSERT_SIM_STARTED(old);
    ASSERT_SIM_STARTED(later);
    for (const bool oldFirst : {true, false}) {
        const CatalogSim& a = oldFirst ? old : later;
        const CatalogSim& b = oldFirst ? later : old;
        DbCompareRequest request =
            RequestFor(a.server, "OrvaneDemoSource", b.server, "OrvaneDemoSource");
        request.Reading = CompareReading::HashFirst;
        later.sim->ClearStatements();
        const DbCompareResultsPtr r = Compare(request);
        ASSERT_TRUE(r->Complete()) << r->Problem;
        EXPECT_EQ(r->Reading, CompareReading::Full);
        // The later server could fingerprint, but its fingerprints would meet none.
        for (const std::string& sql : later.Sql("OrvaneDemoSource"))
            EXPECT_EQ(sql.find("HASHBYTES"), std::string::npos) << sql;
        for (const PairVerdict& p : r->Pairs)
            EXPECT_TRUE(p.TextsRead) << Label(p);
    }
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Over a remote link every request costs a round trip: hash-first sends each side's catalog
// statements (listings, fingerprints, columns, indexes, keys) as one batch and the texts that
// differ as one more, whatever the number of types.
TEST(DbCompareReadingBatches, EachSideSendsItsCatalogInOneBatchAndItsDifferingTextsInAnother) {
    CatalogSim f(kVersion2008, {"demo_source.sql", "demo_target.sql"});
    ASSERT_SIM_STARTED(f);
    DbCompareRequest request =
        RequestFor(f.server, "OrvaneDemoSource", f.server, "OrvaneDemoTarget");
    request.Reading = CompareReading::HashFirst;
    f.sim->ClearStatements();
    const DbCompareResultsPtr r = Compare(request);
    ASSERT_TRUE(r->Complete()) << r->Problem;
    ASSERT_FALSE(r->AllIdentical());
    for (const char* db : {"OrvaneDemoSource", "OrvaneDemoTarget"}) {
        std::vector<std::string> catalog, texts;
        for (const std::string& sql : f.Sql(db)) {
            if (sql.find("HASHBYTES") != std::string::npos)
                catalog.push_back(sql);
            else if (sql.find("FROM syscomments c WHERE c.id IN (") != std::string::npos)
                texts.push_back(sql);
            else if (sql.find("ident_seed('[") == std::string::npos) { // a table by its name
                EXPECT_EQ(sql.find("JOIN syscolumns sco"), std::string::npos)
                    << db << ": a catalog statement outside the batch: " << sql;
            }
        }
        ASSERT_EQ(catalog.size(), 1u) << db;
        // Procedures, views, functions and triggers each fingerprinted in the one batch.
        EXPECT_EQ(Occurrences(catalog[0], "HASHBYTES"), 4u) << db;
        EXPECT_EQ(Occurrences(catalog[0], "JOIN syscolumns sco"), 1u) << db;
        ASSERT_EQ(texts.size(), 1u) << db;
        EXPECT_GE(Occurrences(texts[0], "FROM syscomments c WHERE c.id IN ("), 2u)
            << db << ": the differing texts of several types in one batch";
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, DbCompareReading,
                         ::testing::Values(std::string(kVersion2000), std::string(kVersion2008)),
                         VersionName);

} // namespace
} // namespace orv::test
