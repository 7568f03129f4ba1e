// The registry file holds the only copy of the user's servers and passwords. Whatever state it
// is found in, reads must give either the stored value or the default (never a crash, never a
// value that was not stored), and a save must not destroy what the reader could not make sense of.
#include "core/registry.h"
#include "core/registry_document.h"
#include "test_hostile_files.h"

#include <gtest/gtest.h>

#include <optional>

namespace orv {
namespace {

using testing::TempFolder;

const std::string kMav = "Software\\MAV";
const std::string kServer1 = "Software\\MAV\\Servers\\Server1";
const std::string kServer2 = "Software\\MAV\\Servers\\Server2";

struct Stored {
    std::string key, name;
    std::optional<int32_t> number; // else text
    std::string text;
};

// What a user's file typically holds; the last value is a number so that a cut at the end of
// the file lands in one.
const std::vector<Stored> kStored = {
    {kMav, "Timeout", 0x12345678, ""},
    {"Software\\MAV\\Servers", "Count", 2, ""},
    {kServer1, "Name", std::nullopt, "PROD\\SQL01"},
    {kServer1, "Pwd", std::nullopt, "p@ss;w\"ö\"rd"},
    {kServer1, "Note", std::nullopt, "line1\r\nline2"}, // stored as a hex list
    {kServer2, "Name", std::nullopt, "dev,1433"},
    {kServer2, "SQLAuth", 1, ""},
};

std::string WriteStoredFile(const TempFolder& t) {
    for (const auto& s : kStored) {
        if (s.number)
            SetRegDword(HKEY_CURRENT_USER, s.key, s.name, *s.number);
        else
            SetRegString(HKEY_CURRENT_USER, s.key, s.name, s.text);
    }
    return TempFolder::Read(t.RegistryFile());
}

// Every stored value reads back exactly or as the default; returns how many read exactly.
int CheckValuesWholeOrDefault(const std::string& context) {
    int whole = 0;
    for (const auto& s : kStored) {
        if (s.number) {
            int32_t got = GetRegDword(HKEY_CURRENT_USER, s.key, s.name, -7);
            EXPECT_TRUE(got == -7 || got == *s.number) << context << ": " << s.name << "=" << got;
            whole += got == *s.number;
        } else {
            std::string got = GetRegString(HKEY_CURRENT_USER, s.key, s.name, "<default>");
            EXPECT_TRUE(got == "<default>" || got == s.text)
                << context << ": " << s.name << "=" << got;
            whole += got == s.text;
        }
    }
    return whole;
}

TEST(HostileRegistryFile, CutShortAtAnyByteEveryValueReadsWholeOrAsItsDefault) {
    TempFolder t;
    const std::string good = WriteStoredFile(t);
    ASSERT_EQ(CheckValuesWholeOrDefault("whole file"), static_cast<int>(kStored.size()));
    int previous = 0;
    for (size_t cut = 0; cut <= good.size(); ++cut) {
        TempFolder::Write(t.RegistryFile(), good.substr(0, cut));
        int whole = CheckValuesWholeOrDefault("cut at " + std::to_string(cut));
        // A longer piece of the file never reads fewer values.
        EXPECT_GE(whole, previous) << "cut at " << cut;
        previous = whole;
    }
    EXPECT_EQ(previous, static_cast<int>(kStored.size()));
}

TEST(HostileRegistryFile, BinaryNoiseGivesTheDefaultsAndNoiseAfterAGoodFileKeepsItsValues) {
    TempFolder t;
    const std::string good = WriteStoredFile(t);
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        const std::string noise = testing::Noise(seed, seed * 997 % 20000);
        TempFolder::Write(t.RegistryFile(), noise);
        EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, kMav, "Timeout", 30), 30) << seed;
        EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kServer1, "Pwd", "none"), "none") << seed;
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kServer1)) << seed;
        TempFolder::Write(t.RegistryFile(), good + noise);
        EXPECT_EQ(CheckValuesWholeOrDefault("noise " + std::to_string(seed)),
                  static_cast<int>(kStored.size()));
    }
}

TEST(HostileRegistryFile, EncodingsAreReadAsWindowsWroteThemAndUnknownOnesGiveDefaults) {
    TempFolder t;
    const std::string head = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\MAV]\r\n";
    // An 8-bit export, and one line of it pasted into a file we wrote as UTF-8.
    TempFolder::Write(t.RegistryFile(), head + "\"Pwd\"=\"w\xF6rd\"\r\n\"Db\"=\"caf\xE9\"\r\n");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kMav, "Pwd", ""), "wörd");
    SetRegString(HKEY_CURRENT_USER, kMav, "Mine", "naïve – ünïcode");
    TempFolder::Write(t.RegistryFile(),
                      TempFolder::Read(t.RegistryFile()) + "\"Pasted\"=\"gr\xFC\xDF\"\n");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kMav, "Mine", ""), "naïve – ünïcode");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kMav, "Pasted", ""), "grüß");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kMav, "Db", ""), "café");

    // UTF-8 with a byte order mark, as some editors save it.
    TempFolder::Write(t.RegistryFile(), "\xEF\xBB\xBF" + head + "\"Timeout\"=dword:0000002d\r\n");
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, kMav, "Timeout", 0), 45);

    // A version 5 export cut at an odd byte, inside its last character: the lines before stay.
    const std::string v5 = "Windows Registry Editor Version 5.00\r\n\r\n"
                           "[HKEY_CURRENT_USER\\Software\\MAV]\r\n\"Timeout\"=dword:0000002d\r\n"
                           "\"Name\"=\"börse\"\r\n";
    const std::string le = testing::Utf16(v5, false, true);
    TempFolder::Write(t.RegistryFile(), le.substr(0, le.size() - 3));
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, kMav, "Timeout", 0), 45);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kMav, "Name", "dflt"), "börse");

    // Byte orders regedit never writes: nothing is made up from them.
    for (const auto& odd : {testing::Utf16(v5, true, true), testing::Utf16(v5, false, false)}) {
        TempFolder::Write(t.RegistryFile(), odd);
        EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, kMav, "Timeout", 7), 7);
        EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kMav, "Name", "dflt"), "dflt");
    }
}

TEST(HostileRegistryFile, AFileTooBigToReadGivesDefaultsAndABigButSaneOneIsReadWhole) {
    TempFolder t;
    ASSERT_TRUE(testing::MakeHugeFile(t.RegistryFile(), 65LL * 1024 * 1024));
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, kMav, "Timeout", 30), 30);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kMav));

    // Three thousand servers and a one-megabyte value.
    std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\MAV]\n\"Big\"=\"" +
                       std::string(1 << 20, 'b') + "\"\n";
    for (int i = 1; i <= 3000; ++i)
        text += "\n[HKEY_CURRENT_USER\\Software\\MAV\\Servers\\Server" + std::to_string(i) +
                "]\n\"Name\"=\"host" + std::to_string(i) + "\"\n";
    TempFolder::Write(t.RegistryFile(), text);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kMav, "Big", "").size(), 1u << 20);
    EXPECT_EQ(SetRegDword(HKEY_CURRENT_USER, kMav, "Timeout", 9), "Success");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, "Software\\MAV\\Servers\\Server2999", "Name", ""),
              "host2999");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kMav, "Big", "").size(), 1u << 20);
    EXPECT_TRUE(testing::BackupsOf(t.RegistryFile()).empty());
}

struct Damaged {
    const char* what;
    std::string bytes;                  // empty: a file too big to read
    std::vector<std::string> survivors; // names of kStored values a save must carry over
};

TEST(HostileRegistryFile, ASaveKeepsACopyOfAFileItCouldNotReadWhole) {
    std::string good;
    {
        TempFolder t;
        good = WriteStoredFile(t);
    }
    const size_t lastNumber = good.rfind("dword:");
    std::string junkInside = good;
    junkInside.insert(good.find("\"Name\""), "this line is not a value\n");
    const std::vector<Damaged> cases = {
        {"binary noise", testing::Noise(3, 5000), {}},
        {"cut inside the last number",
         good.substr(0, lastNumber + 10),
         {"Timeout", "Count", "Name", "Pwd", "Note"}},
        {"zero-filled tail",
         good + std::string(4096, '\0'),
         {"Timeout", "Count", "Name", "Pwd", "Note", "SQLAuth"}},
        {"a line that is not a value",
         junkInside,
         {"Timeout", "Count", "Name", "Pwd", "Note", "SQLAuth"}},
        {"big-endian UTF-16", testing::Utf16(good, true, true), {}},
        {"too big to read", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder t;
        if (c.bytes.empty())
            ASSERT_TRUE(testing::MakeHugeFile(t.RegistryFile(), 65LL * 1024 * 1024));
        else
            TempFolder::Write(t.RegistryFile(), c.bytes);
        const off_t originalSize = testing::SizeOf(t.RegistryFile());

        ASSERT_EQ(SetRegString(HKEY_CURRENT_USER, kMav, "After", "saved"), "Success");
        auto backups = testing::BackupsOf(t.RegistryFile());
        ASSERT_EQ(backups.size(), 1u);
        if (c.bytes.empty())
            EXPECT_EQ(testing::SizeOf(backups[0]), originalSize);
        else
            EXPECT_EQ(TempFolder::Read(backups[0]), c.bytes);

        // The new file is whole, private, and holds the readable part and the new value.
        bool readable = false;
        RegistryDocument::Parse(TempFolder::Read(t.RegistryFile()), &readable);
        EXPECT_TRUE(readable);
        EXPECT_EQ(testing::ModeOf(t.RegistryFile()), 0600u);
        EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kMav, "After", ""), "saved");
        for (const auto& s : kStored) {
            bool kept =
                std::find(c.survivors.begin(), c.survivors.end(), s.name) != c.survivors.end();
            if (!kept || s.key == kServer2)
                continue;
            if (s.number)
                EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, s.key, s.name, -7), *s.number) << s.name;
            else
                EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, s.key, s.name, ""), s.text) << s.name;
        }
        // Once saved whole, the next save has nothing more to keep.
        SetRegDword(HKEY_CURRENT_USER, kMav, "Again", 1);
        EXPECT_EQ(testing::BackupsOf(t.RegistryFile()).size(), 1u);
    }
}

TEST(HostileRegistryFile, AFileReadWholeIsSavedWithoutACopy) {
    const std::string v5 =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\MAV]\r\n; a comment\r\n"
        "\"Timeout\"=dword:0000002d\r\n\"Gone\"=-\r\n@=\"default\"\r\n"
        "\"Bin\"=hex:01,02,\\\r\n  03\r\n[-HKEY_CURRENT_USER\\Software\\Old]\r\n";
    const std::vector<std::string> sane = {
        "",
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\MAV]\n\"Pwd\"=\"w\xF6rd\"\n",
        testing::Utf16(v5, false, true),
        "\xEF\xBB\xBF" + v5,
        v5 + v5, // two exports joined
    };
    for (size_t i = 0; i < sane.size(); ++i) {
        SCOPED_TRACE(i);
        TempFolder t;
        TempFolder::Write(t.RegistryFile(), sane[i]);
        ASSERT_EQ(SetRegDword(HKEY_CURRENT_USER, kMav, "After", 1), "Success");
        EXPECT_TRUE(testing::BackupsOf(t.RegistryFile()).empty());
    }
}

} // namespace
} // namespace orv
