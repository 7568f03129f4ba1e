#include "core/registry.h"
#include "core/registry_document.h"
#include "foundation_temp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orv {
namespace {

using testing::TempFolder;
constexpr const char* kKey = "Software\\MAV";

TEST(Registry, MissingFileKeyOrValueGivesTheDefault) {
    TempFolder t;
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, kKey, "Timeout", 30), 30);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kKey, "VerNum", "x"), "x");
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kKey));
}

TEST(Registry, ValuesRoundTripWithTheirTypesAndAWrongTypeReadsAsDefault) {
    TempFolder t;
    EXPECT_EQ(SetRegDword(HKEY_CURRENT_USER, kKey, "Timeout", 45), "Success");
    EXPECT_EQ(SetRegString(HKEY_CURRENT_USER, kKey, "Name", "C:\\dir \"quoted\" é"), "Success");
    SetRegDword(HKEY_CURRENT_USER, kKey, "Negative", -2);
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, kKey, "timeout", 0), 45);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, "software\\mav", "NAME", ""), "C:\\dir \"quoted\" é");
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, kKey, "Negative", 0), -2);
    // A number asked for as text, and a text asked for as a number, read as their defaults.
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kKey, "Timeout", "dflt"), "dflt");
    SetRegString(HKEY_CURRENT_USER, kKey, "Flag", "1");
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, kKey, "Flag", 7), 7);
}

// Reads reuse the last parse while the file is the same; every way another program can change
// it must still be seen at the next read.
TEST(Registry, ChangesByOthersAreSeenAtTheNextRead) {
    TempFolder t;
    SetRegDword(HKEY_CURRENT_USER, kKey, "Timeout", 11);
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, kKey, "Timeout", 0), 11);
    const std::string text = TempFolder::Read(t.RegistryFile());
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string changed = text;
        changed.replace(changed.find(from), from.size(), to);
        return changed;
    };

    // Replaced by a rename, the way another running copy writes: same size, new inode.
    const std::string other = t.RegistryFile() + ".other";
    { std::ofstream(other, std::ios::binary) << replaced("dword:0000000b", "dword:0000000c"); }
    ASSERT_EQ(std::rename(other.c_str(), t.RegistryFile().c_str()), 0);
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, kKey, "Timeout", 0), 12);

    // Rewritten in place by an editor: same inode, same size, the same second.
    {
        std::ofstream(t.RegistryFile(), std::ios::binary | std::ios::trunc)
            << replaced("dword:0000000b", "dword:0000000d");
    }
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, kKey, "Timeout", 0), 13);

    // Deleted: the defaults again.
    ASSERT_EQ(std::remove(t.RegistryFile().c_str()), 0);
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, kKey, "Timeout", 0), 0);
}

TEST(Registry, TextsWithNulsAndLineBreaksSurviveTheFileAndReadUpToTheNul) {
    TempFolder t;
    SetRegString(HKEY_CURRENT_USER, kKey, "Nul", std::string("ab\0cd", 5));
    SetRegString(HKEY_CURRENT_USER, kKey, "Multi", "line1\r\nline2");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kKey, "Nul", ""), "ab");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kKey, "Multi", ""), "line1\r\nline2");
    std::string file = TempFolder::Read(t.RegistryFile());
    EXPECT_EQ(file.rfind("REGEDIT4\n", 0), 0u);
    EXPECT_NE(file.find("\"Nul\"=hex(1):61,62,00,63,64,00"), std::string::npos);
}

// A value of a type we do not know is kept as written; what it ends in must survive a save and a
// second read unchanged, or every save would alter the file a little more.
TEST(Registry, AValueOfUnknownTypeReadsBackAsSavedWhateverItEndsIn) {
    for (const char* tail : {"\\", "\r\\", " \\\t\\", "\\\r\\ "}) {
        std::string file = std::string("REGEDIT4\n\n[K]\n\"v\"=weird:41,00") + tail + "\n";
        bool readable = false;
        const std::string once = RegistryDocument::Parse(file, &readable).Serialize();
        EXPECT_TRUE(readable) << tail;
        EXPECT_NE(once.find("\"v\"=weird:41,00\n"), std::string::npos) << once;
        EXPECT_EQ(RegistryDocument::Parse(once, nullptr).Serialize(), once) << tail;
    }
}

TEST(Registry, FileIsPrivateToItsUser) {
    TempFolder t;
    SetRegString(HKEY_CURRENT_USER, kKey, "Pwd", "secret");
    struct stat st {};
    ASSERT_EQ(::stat(t.RegistryFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(Registry, DeleteRemovesExactlyOneKeyWithItsSubkeys) {
    TempFolder t;
    const std::string servers = "Software\\MAV\\Servers";
    SetRegDword(HKEY_CURRENT_USER, servers, "Count", 2);
    SetRegString(HKEY_CURRENT_USER, servers + "\\Server1", "Name", "a");
    SetRegString(HKEY_CURRENT_USER, servers + "\\Server1\\Deeper", "X", "x");
    SetRegString(HKEY_CURRENT_USER, servers + "\\Server10", "Name", "j");
    SetRegString(HKEY_CURRENT_USER, servers + "\\Server2", "Name", "b");
    EXPECT_EQ(DeleteRegKey(HKEY_CURRENT_USER, servers + "\\Server1"), "Success");
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, servers + "\\Server1"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, servers + "\\Server1\\Deeper"));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, servers + "\\Server10", "Name", ""), "j");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, servers + "\\Server2", "Name", ""), "b");
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, servers, "Count", 0), 2);
    EXPECT_EQ(DeleteRegKey(HKEY_CURRENT_USER, servers + "\\Server1"),
              "No! Key to Delete Or Key Not Found");
}

TEST(Registry, AWindowsVersion5ExportInUtf16IsRead) {
    TempFolder t;
    const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n"
                             "[HKEY_CURRENT_USER\\Software\\MAV\\Servers]\r\n"
                             "\"Count\"=dword:00000002\r\n\"ShowOwners\"=dword:00000001\r\n\r\n"
                             "[HKEY_CURRENT_USER\\Software\\MAV\\Servers\\Server1]\r\n"
                             "\"Name\"=\"PROD\\\\SQL2008\"\r\n\"SQLAuth\"=dword:00000001\r\n"
                             "\"LoginName\"=\"sa\"\r\n\"Pwd\"=\"p@ss;wörd\"\r\n"
                             "\"MRUDb\"=hex(1):4e,00,6f,00,72,00,74,00,68,00,00,00\r\n\r\n"
                             "[HKEY_CURRENT_USER\\Software\\MAV\\Servers\\Server2]\r\n"
                             "\"Name\"=\"dev,1433\"\r\n\"Bin\"=hex:01,02,\\\r\n  "
                             "03,04\r\n\"SQLAuth\"=dword:00000000\r\n";
    // Encode as UTF-16LE with a byte order mark, as regedit writes it.
    std::string utf16 = "\xFF\xFE";
    std::u32string wide;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            wide += c;
            ++i;
        } else { // two-byte UTF-8 only in this sample
            wide += static_cast<char32_t>(((c & 0x1F) << 6) | (text[i + 1] & 0x3F));
            i += 2;
        }
    }
    for (char32_t cp : wide) {
        utf16 += static_cast<char>(cp & 0xFF);
        utf16 += static_cast<char>(cp >> 8);
    }
    TempFolder::Write(t.RegistryFile(), utf16);
    const std::string s = "Software\\MAV\\Servers";
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, s, "Count", 0), 2);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, s + "\\Server1", "Name", ""), "PROD\\SQL2008");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, s + "\\Server1", "Pwd", ""), "p@ss;wörd");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, s + "\\Server1", "MRUDb", ""), "North");
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, s + "\\Server2", "Name", ""), "dev,1433");
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, s + "\\Server2", "SQLAuth", 9), 0);
    // A write keeps the values we do not understand.
    SetRegString(HKEY_CURRENT_USER, s + "\\Server2", "MRUDb", "x");
    EXPECT_NE(TempFolder::Read(t.RegistryFile()).find("\"Bin\"=hex:01,02,03,04"),
              std::string::npos);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, s + "\\Server1", "Pwd", ""), "p@ss;wörd");
}

TEST(Registry, AnUnreadableFileIsKeptAsABackupBeforeItIsReplaced) {
    TempFolder t;
    TempFolder::Write(t.RegistryFile(), std::string("\x00\x01garbage\xff", 11));
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, kKey, "Timeout", 30), 30);
    SetRegDword(HKEY_CURRENT_USER, kKey, "Timeout", 5);
    EXPECT_EQ(GetRegDword(HKEY_CURRENT_USER, kKey, "Timeout", 30), 5);
    int backups = 0;
    for (const auto& e : std::filesystem::directory_iterator(t.Path() + "/config/orvane"))
        backups += e.path().filename().string().find("unreadable") != std::string::npos;
    EXPECT_EQ(backups, 1);
}

TEST(Registry, FourProcessesWritingAtOnceLoseNothing) {
    TempFolder t;
    std::vector<pid_t> children;
    for (int p = 0; p < 4; ++p) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0; i < 200; ++i)
                SetRegDword(HKEY_CURRENT_USER, "Software\\MAV\\P" + std::to_string(p),
                            "V" + std::to_string(i), p * 1000 + i);
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    RegistryDocument doc = RegistryDocument::Parse(TempFolder::Read(t.RegistryFile()));
    int found = 0;
    for (int p = 0; p < 4; ++p)
        for (int i = 0; i < 200; ++i) {
            const RegValue* v = doc.Find("HKEY_CURRENT_USER\\Software\\MAV\\P" + std::to_string(p),
                                         "V" + std::to_string(i));
            found += (v && v->dword == static_cast<uint32_t>(p * 1000 + i)) ? 1 : 0;
        }
    EXPECT_EQ(found, 800);
}

TEST(Registry, AWriterKilledMidwayLeavesAFileThatStillParses) {
    TempFolder t;
    SetRegString(HKEY_CURRENT_USER, kKey, "Before", "kept");
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        for (int i = 0;; ++i)
            SetRegString(HKEY_CURRENT_USER, kKey, "V" + std::to_string(i % 50),
                         std::string(200, static_cast<char>('a' + i % 26)));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    bool readable = false;
    RegistryDocument doc = RegistryDocument::Parse(TempFolder::Read(t.RegistryFile()), &readable);
    EXPECT_TRUE(readable);
    const RegValue* before = doc.Find("HKEY_CURRENT_USER\\Software\\MAV", "Before");
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(before->text, "kept");
    // Every value present is whole.
    for (const auto& key : doc.Keys()) {
        for (const auto& [name, v] : key.values) {
            if (name != "Before") {
                EXPECT_EQ(v.text.size(), 200u) << name;
            }
        }
    }
    // And the next write still works with the lock the dead writer held.
    EXPECT_EQ(SetRegString(HKEY_CURRENT_USER, kKey, "After", "ok"), "Success");
}

} // namespace
} // namespace orv
