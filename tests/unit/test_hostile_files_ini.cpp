// INI files are edited by hand, saved by Windows editors in whatever encoding they chose, and
// copied between machines. Reads must give a value, the readable part of it, or the default,
// and a write must not destroy a file the reader could not take in faithfully.
#include "core/inifile.h"
#include "test_hostile_files.h"
#include "util/text.h"

#include <gtest/gtest.h>

#include <map>

namespace orv {
namespace {

using testing::TempFolder;

cInifile At(const std::string& path, const std::string& section, const std::string& key) {
    cInifile ini;
    ini.Path = path;
    ini.Section = section;
    ini.Key = key;
    ini.Default = "<default>";
    return ini;
}

// Every section and key the reader lists, with what a read gives for it.
std::map<std::string, std::string> Listing(const std::string& path) {
    std::map<std::string, std::string> out;
    cInifile ini = At(path, "", "");
    std::vector<std::string> sections, keys;
    int32_t sectionCount = -1, keyCount = -1;
    ini.EnumerateAllSections(sections, sectionCount);
    EXPECT_EQ(sections.size(), static_cast<size_t>(sectionCount) + 1);
    for (int32_t s = 1; s <= sectionCount; ++s) {
        ini.Section = sections[static_cast<size_t>(s)];
        ini.EnumerateCurrentSection(keys, keyCount);
        EXPECT_EQ(keys.size(), static_cast<size_t>(keyCount) + 1);
        for (int32_t k = 1; k <= keyCount; ++k) {
            ini.Key = keys[static_cast<size_t>(k)];
            out[ToLowerAscii(ini.Section) + "/" + ToLowerAscii(ini.Key)] = ini.Value();
        }
    }
    return out;
}

const std::string kColumns = "; columns that comparisons ignore\r\n"
                             "[Tables]\r\nCount=3\r\nCol1=ModifiedDate\r\nCol2 = \"rowguid\"\r\n"
                             "Col3=Zeitstempel_ä\r\n\r\n[Views]\r\nCol1=LastChange\r\n";

struct Entry {
    std::string name;  // section/key as Listing gives it
    std::string value; // what a whole line reads as
    std::string raw;   // the text after '=' as written
    size_t lineEnd;    // offset of the line's '\n' in kColumns
};

std::vector<Entry> ColumnEntries() {
    std::vector<Entry> entries;
    auto add = [&](const std::string& section, const std::string& line, const std::string& value) {
        size_t at = kColumns.find(line, kColumns.find("[" + section + "]"));
        std::string key = TrimWhitespace(line.substr(0, line.find('=')));
        entries.push_back({ToLowerAscii(section + "/" + key), value,
                           TrimWhitespace(line.substr(line.find('=') + 1)),
                           kColumns.find('\n', at)});
    };
    add("Tables", "Count=3", "3");
    add("Tables", "Col1=ModifiedDate", "ModifiedDate");
    add("Tables", "Col2 = \"rowguid\"", "rowguid");
    add("Tables", "Col3=Zeitstempel_ä", "Zeitstempel_ä");
    add("Views", "Col1=LastChange", "LastChange");
    return entries;
}

TEST(HostileIniFile, CutShortAtAnyByteReadsWholeLinesWholeAndTheCutLineUpToTheCut) {
    TempFolder t;
    const std::string path = t.Path() + "/columns.ini";
    const auto entries = ColumnEntries();
    for (size_t cut = 0; cut <= kColumns.size(); ++cut) {
        SCOPED_TRACE(cut);
        TempFolder::Write(path, kColumns.substr(0, cut));
        auto listed = Listing(path);
        for (const auto& e : entries) {
            if (cut > e.lineEnd) {
                EXPECT_EQ(listed[e.name], e.value) << e.name;
                continue;
            }
            auto it = listed.find(e.name);
            if (it == listed.end())
                continue; // the cut fell before its '='
            // The part before the cut, except that a cut inside a two-byte letter leaves its
            // first byte, read as an 8-bit letter.
            std::string got = it->second;
            if (got == e.value) {
                listed.erase(it);
                continue;
            }
            if (!got.empty() && e.raw.rfind(got, 0) != 0)
                got = Utf8Left(got, Utf8Length(got) - 1);
            EXPECT_EQ(e.raw.rfind(got, 0), 0u) << e.name << " read as " << it->second;
            listed.erase(it);
        }
        for (const auto& e : entries)
            listed.erase(e.name);
        EXPECT_TRUE(listed.empty()) << "made up: " << listed.begin()->first;
    }
}

TEST(HostileIniFile, BinaryNoiseNeverBreaksTheListingAndAGoodFileBeforeItStaysReadable) {
    TempFolder t;
    const std::string path = t.Path() + "/noise.ini";
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        const std::string noise = testing::Noise(seed, seed * 1499 % 30000);
        TempFolder::Write(path, noise);
        // Whatever the reader lists reads back as a value, within the 254-character buffer.
        for (const auto& [name, value] : Listing(path)) {
            EXPECT_NE(value, "<default>") << name;
            EXPECT_LE(Utf8Length(value), 254);
            EXPECT_TRUE(IsValidUtf8(value));
        }
        TempFolder::Write(path, kColumns + noise);
        EXPECT_EQ(At(path, "Tables", "Col1").Value(), "ModifiedDate");
        EXPECT_EQ(At(path, "tables", "COL3").Value(), "Zeitstempel_ä");
    }
}

TEST(HostileIniFile, WindowsEncodingsAreReadAndANulEndsWhatALineSays) {
    TempFolder t;
    const std::string path = t.Path() + "/enc.ini";
    // Notepad's "Unicode" (UTF-16LE with a byte order mark).
    TempFolder::Write(path, testing::Utf16(kColumns, false, true));
    EXPECT_EQ(At(path, "Tables", "Col3").Value(), "Zeitstempel_ä");
    EXPECT_EQ(At(path, "Views", "Col1").Value(), "LastChange");
    // An 8-bit file, and one 8-bit line in a UTF-8 file.
    TempFolder::Write(path, "[T\xE4"
                            "ble]\r\nK=W\xF6rt\r\n");
    EXPECT_EQ(At(path, "Täble", "K").Value(), "Wört");
    TempFolder::Write(path, kColumns + "Col2=Gr\xF6\xDF" + "e\r\n");
    EXPECT_EQ(At(path, "Tables", "Col3").Value(), "Zeitstempel_ä");
    EXPECT_EQ(At(path, "Views", "Col2").Value(), "Größe");
    // UTF-8 with a byte order mark: the first section is still found.
    TempFolder::Write(path, "\xEF\xBB\xBF" + kColumns);
    EXPECT_EQ(At(path, "Tables", "Count").Value(), "3");
    // A NUL ends what a line means, as it would for the C-string profile calls; the names
    // listed are the ones a read finds.
    TempFolder::Write(path, std::string("[S]\nab\0cd=1\nK=x\0y\n[Q\0]\nZ=2\n", 27));
    EXPECT_EQ(At(path, "S", "K").Value(), "x");
    EXPECT_EQ(At(path, "S", "ab").Value(), "<default>");
    EXPECT_EQ(Listing(path), (std::map<std::string, std::string>{{"s/k", "x"}, {"s/z", "2"}}));
}

TEST(HostileIniFile, AFileTooBigToReadGivesTheDefaultAndAnEmptyListing) {
    TempFolder t;
    const std::string path = t.Path() + "/big.ini";
    ASSERT_TRUE(testing::MakeHugeFile(path, 65LL * 1024 * 1024));
    EXPECT_EQ(At(path, "Big", "K").Value(), "<default>");
    EXPECT_TRUE(Listing(path).empty());
}

TEST(HostileIniFile, AWriteKeepsACopyOfAFileItCouldNotTakeInFaithfully) {
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"8-bit text", "[T\xE4"
                       "ble]\r\nK=W\xF6rt\r\n"},
        {"UTF-16", testing::Utf16(kColumns, false, true)},
        {"binary", kColumns + testing::Noise(5, 3000)},
        {"too big to read", ""},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        TempFolder t;
        const std::string path = t.Path() + "/cols.ini";
        if (bytes.empty())
            ASSERT_TRUE(testing::MakeHugeFile(path, 65LL * 1024 * 1024));
        else
            TempFolder::Write(path, bytes);
        const off_t originalSize = testing::SizeOf(path);
        auto before = Listing(path);

        auto ini = At(path, "Saved", "Key");
        ini.SetValue("value");
        ASSERT_TRUE(ini.Success());
        auto backups = testing::BackupsOf(path);
        ASSERT_EQ(backups.size(), 1u);
        EXPECT_EQ(testing::SizeOf(backups[0]), originalSize);
        if (!bytes.empty()) {
            EXPECT_EQ(TempFolder::Read(backups[0]), bytes);
        }
        // The rewritten file holds everything that was read, and the new value.
        auto after = Listing(path);
        EXPECT_EQ(after["saved/key"], "value");
        after.erase("saved/key");
        EXPECT_EQ(after, before);
        // Written back as UTF-8, the file needs no second copy.
        ini.SetValue("again");
        EXPECT_EQ(testing::BackupsOf(path).size(), 1u);
    }
    // A UTF-8 file, even one holding NULs, is rewritten with every line as it was and no copy.
    TempFolder t;
    const std::string path = t.Path() + "/cols.ini";
    const std::string odd("junk\0line", 9);
    TempFolder::Write(path, kColumns + odd + "\r\n");
    At(path, "Tables", "Col4").SetValue("x");
    EXPECT_TRUE(testing::BackupsOf(path).empty());
    EXPECT_EQ(At(path, "Tables", "Col3").Value(), "Zeitstempel_ä");
    EXPECT_NE(TempFolder::Read(path).find(odd + "\r\n"), std::string::npos);
}

} // namespace
} // namespace orv
