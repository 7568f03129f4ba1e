// The words of `orvane-cli script-folder`: a database or a snapshot file, and the refusals that
// name what is wrong.
#include "dbcompare/script_folder_command.h"

#include <gtest/gtest.h>

namespace orv::test {
namespace {

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < line.size()) {
        const size_t space = line.find(' ', at);
        out.push_back(line.substr(at, space == std::string::npos ? space : space - at));
        at = space == std::string::npos ? line.size() : space + 1;
    }
    return out;
}

TEST(ScriptFolderArgs, ADatabaseOrASnapshotIsWrittenToAFolder) {
    struct Case {
        const char* line;
        const char* server;
        const char* db;
        const char* snapshot;
        const char* folder;
        bool crlf;
    };
    const Case cases[] = {
        {"PROD Sales out", "PROD", "Sales", "", "out", false},
        {"snapshot:mon.orvsnap out", "", "", "mon.orvsnap", "out", false},
        {"--line-breaks crlf snapshot:/a/b.orvsnap /c/d", "", "", "/a/b.orvsnap", "/c/d", true},
        {"snapshot:x:y out", "", "", "x:y", "out", false},
    };
    for (const Case& c : cases) {
        ScriptFolderArgs args;
        std::string error;
        ASSERT_TRUE(ParseScriptFolderArgs(Words(c.line), args, error)) << c.line << ": " << error;
        EXPECT_EQ(args.Server, c.server) << c.line;
        EXPECT_EQ(args.Db, c.db) << c.line;
        EXPECT_EQ(args.Snapshot, c.snapshot) << c.line;
        EXPECT_EQ(args.Folder, c.folder) << c.line;
        EXPECT_EQ(args.CrLf, c.crlf) << c.line;
    }
}

TEST(ScriptFolderArgs, WordsThatMakeNoFolderAreRefusedByWhatIsWrong) {
    const std::pair<const char*, const char*> cases[] = {
        {"snapshot:mon.orvsnap", "expected 2 arguments (snapshot:<file> <folder>), got 1"},
        {"snapshot:mon.orvsnap PROD Sales",
         "expected 2 arguments (snapshot:<file> <folder>), got 3"},
        {"snapshot: out", "snapshot: needs a file name"},
        {"folder:src out", "a scripts folder is written from a database or a snapshot:<file>, "
                           "not from a folder:<dir>"},
        {"--login sa snapshot:mon.orvsnap out",
         "a snapshot is read without a server: --login, --encryption and --ca-file are for "
         "<server> <db>"},
        {"--encryption require snapshot:mon.orvsnap out",
         "a snapshot is read without a server: --login, --encryption and --ca-file are for "
         "<server> <db>"},
        {"PROD Sales", "expected 3 arguments (<server> <db> <folder>), got 2"},
    };
    for (const auto& [line, message] : cases) {
        ScriptFolderArgs args;
        std::string error;
        EXPECT_FALSE(ParseScriptFolderArgs(Words(line), args, error)) << line;
        EXPECT_EQ(error, message) << line;
    }
}

} // namespace
} // namespace orv::test
