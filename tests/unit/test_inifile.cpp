#include "core/inifile.h"
#include "foundation_temp.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

using testing::TempFolder;

cInifile At(const std::string& path, const std::string& section, const std::string& key) {
    cInifile ini;
    ini.Path = path;
    ini.Section = section;
    ini.Key = key;
    return ini;
}

TEST(IniFile, ValuesReadBackAtMost254CharactersAndMissingOnesGiveTheDefault) {
    TempFolder t;
    const std::string path = t.Path() + "/a.ini";
    auto ini = At(path, "Sec", "Long");
    ini.SetValue(std::string(300, 'x'));
    EXPECT_TRUE(ini.Success());
    EXPECT_EQ(ini.Value(), std::string(254, 'x'));
    ini.SetValue(std::string(254, 'y'));
    EXPECT_EQ(ini.Value(), std::string(254, 'y'));
    ini.Key = "Missing";
    ini.Default = "dflt";
    EXPECT_EQ(ini.Value(), "dflt");
    ini.Section = "NoSuchSection";
    EXPECT_EQ(ini.Value(), "dflt");
}

TEST(IniFile, NulCharactersAreRemovedBeforeWriting) {
    TempFolder t;
    auto ini = At(t.Path() + "/a.ini", "S", "K");
    ini.SetValue(std::string("a\0b\0c", 5));
    EXPECT_EQ(ini.Value(), "abc");
}

TEST(IniFile, NamesIgnoreCaseAndOtherLinesKeepTheirPlace) {
    TempFolder t;
    const std::string path = t.Path() + "/a.ini";
    TempFolder::Write(path, "; comment\r\n[First]\r\nA = 1\r\nnot a key line\r\n\r\n"
                            "[Second]\r\nB=2\r\n");
    auto ini = At(path, "FIRST", "a");
    EXPECT_EQ(ini.Value(), "1");
    ini.SetValue("one");
    ini.Key = "New";
    ini.SetValue("n");
    auto second = At(path, "second", "C");
    second.SetValue("3");
    EXPECT_EQ(TempFolder::Read(path), "; comment\r\n[First]\r\nA=one\r\nnot a key line\r\n"
                                      "New=n\r\n\r\n[Second]\r\nB=2\r\nC=3\r\n");
    auto third = At(path, "Third", "Z");
    third.SetValue("z");
    EXPECT_EQ(At(path, "third", "z").Value(), "z");
}

TEST(IniFile, EnumerationKeepsFileOrderAndAMissingSectionIsEmpty) {
    TempFolder t;
    const std::string path = t.Path() + "/a.ini";
    TempFolder::Write(path, "[S]\nzeta=1\nalpha=2\nmid=3\n[T]\nx=1\n");
    auto ini = At(path, "S", "");
    std::vector<std::string> keys;
    int32_t count = -1;
    ini.EnumerateCurrentSection(keys, count);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(keys[1], "zeta");
    EXPECT_EQ(keys[2], "alpha");
    EXPECT_EQ(keys[3], "mid");
    ini.EnumerateAllSections(keys, count);
    EXPECT_EQ(count, 2);
    ini.Section = "Missing";
    ini.EnumerateCurrentSection(keys, count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(keys.size(), 1u); // only the unused slot 0
    auto none = At(t.Path() + "/none.ini", "S", "");
    none.EnumerateCurrentSection(keys, count);
    EXPECT_EQ(count, 0);
}

TEST(IniFile, DeletingKeysAndSections) {
    TempFolder t;
    const std::string path = t.Path() + "/a.ini";
    TempFolder::Write(path, "[S]\na=1\nb=2\n[T]\nc=3\n");
    auto ini = At(path, "S", "a");
    ini.DeleteKey();
    EXPECT_TRUE(ini.Success());
    EXPECT_EQ(ini.Value(), "");
    EXPECT_EQ(At(path, "S", "b").Value(), "2");
    ini.DeleteSection();
    EXPECT_EQ(At(path, "S", "b").Value(), "");
    EXPECT_EQ(At(path, "T", "c").Value(), "3");
}

TEST(IniFile, CLngDefaultConvertsLikeTheClassicConversion) {
    EXPECT_EQ(cInifile::CLngDefault("42", 0), 42);
    EXPECT_EQ(cInifile::CLngDefault(" -7 ", 0), -7);
    EXPECT_EQ(cInifile::CLngDefault("2.5", 0), 2);
    EXPECT_EQ(cInifile::CLngDefault("3.5", 0), 4);
    EXPECT_EQ(cInifile::CLngDefault("&H10", 0), 16);
    EXPECT_EQ(cInifile::CLngDefault("FAIL", 9), 9);
    EXPECT_EQ(cInifile::CLngDefault("", 9), 9);
    EXPECT_EQ(cInifile::CLngDefault("99999999999", 9), 9);
}

class FakeForm : public FormPlacement {
public:
    bool IsMinimised() const override { return minimised; }
    bool IsMaximised() const override { return maximised; }
    int32_t Left() const override { return l; }
    int32_t Top() const override { return t; }
    int32_t Width() const override { return w; }
    int32_t Height() const override { return h; }
    int32_t ScreenWidth() const override { return 1024; }
    int32_t ScreenHeight() const override { return 768; }
    void Move(int32_t left, int32_t top, int32_t width, int32_t height) override {
        l = left, t = top, w = width, h = height;
    }
    void Maximise() override { maximised = true; }
    bool minimised = false, maximised = false;
    int32_t l = 10, t = 20, w = 300, h = 200;
};

TEST(IniFile, FormPositionRoundTripsAndStaysOnScreen) {
    TempFolder t;
    auto ini = At(t.Path() + "/f.ini", "frmMain", "Keep");
    FakeForm f;
    f.l = 900;
    ini.SaveFormPosition(f);
    EXPECT_EQ(ini.Key, "Keep");
    FakeForm g;
    ini.LoadFormPosition(g, 400, 100);
    EXPECT_EQ(g.w, 400); // raised to the minimum width
    EXPECT_EQ(g.h, 200);
    EXPECT_EQ(g.l, 1024 - 400); // pulled back onto the screen
    EXPECT_FALSE(g.maximised);
    EXPECT_EQ(ini.Key, "Keep");
}

} // namespace
} // namespace orv

#include <sys/stat.h>

namespace orv {
namespace {

TEST(IniFile, AWriteKeepsThePermissionsOfTheFile) {
    TempFolder t;
    const std::string path = t.Path() + "/private.ini";
    TempFolder::Write(path, "[S]\na=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    auto ini = At(path, "S", "a");
    ini.SetValue("2");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ini.Value(), "2");
}

} // namespace
} // namespace orv
