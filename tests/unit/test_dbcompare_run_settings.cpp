// The one place the settings become a run's request: every setting lands in the field that
// carries it, and a value set one way and then the other shows no field is read from another.
#include "core/settings.h"
#include "dbcompare/run_settings.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

class RunSettings : public ::testing::Test {
protected:
    void TearDown() override { Settings() = saved_; }
    ProgramSettings saved_ = Settings();
};

TEST_F(RunSettings, EverySettingReachesItsFieldOfTheRequests) {
    for (const bool on : {true, false}) {
        ProgramSettings& s = Settings();
        s.IgnoreSysObjects = on;
        s.IgnoreIndexes = !on;
        s.CompleteTableScripts = on;
        s.IgnoreSystemConstraintNames = !on;
        s.CaseSensitive = on;
        s.SyncDisableTriggers = !on;
        s.Timeout = on ? 17 : 0;
        s.MaxRowsInDiffTable = on ? 123 : 0;

        const CatalogReadOptions o = CatalogReadOptionsFromSettings();
        EXPECT_EQ(o.IgnoreSysObjects, on);
        EXPECT_EQ(o.IgnoreIndexes, !on);
        EXPECT_EQ(o.CompleteTableScripts, on);
        EXPECT_EQ(o.IgnoreSystemConstraintNames, !on);

        DbCompareRequest all;
        ApplyCurrentSettings(all);
        EXPECT_EQ(all.IgnoreSysObjects, on);
        EXPECT_EQ(all.IgnoreIndexes, !on);
        EXPECT_EQ(all.CompleteTableScripts, on);
        EXPECT_EQ(all.IgnoreSystemConstraintNames, !on);
        EXPECT_EQ(all.Options.CaseSensitive, on);
        EXPECT_EQ(all.TimeoutSeconds, on ? 17 : 0);
        EXPECT_TRUE(all.IgnoredColumns);

        DataCompareRequest data;
        ApplyCurrentDataSettings(data);
        EXPECT_EQ(data.CaseSensitive, on);
        EXPECT_EQ(data.Sync.DisableTriggers, !on);
        // No limit set keeps the default number of rows for display.
        EXPECT_EQ(data.RowKeepLimit, on ? 123 : 5000);
        for (const QueryPlace& place : data.Place)
            EXPECT_EQ(place.TimeoutSeconds, on ? 17 : 0);
        EXPECT_TRUE(data.IgnoredColumns);
        EXPECT_TRUE(data.PickedKey);
    }
}

} // namespace
} // namespace orv
