// File names of a scripts folder: every name, however hostile, gives a valid file name on
// Linux, unique within its folder even where a file system folds letter case, and the same
// names always give the same files. The manifest keeps the exact names through any byte.
#include "catalog/script_folder_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace orv {
namespace {

bool ValidLinuxFileName(const std::string& name) {
    return !name.empty() && name.size() <= 255 && name != "." && name != ".." &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

TEST(ScriptFolderNames, EncodeOnlyWhatCannotStandInAFileName) {
    const struct {
        std::string schema, name, file;
    } cases[] = {
        {"dbo", "Customers", "dbo.Customers.sql"},
        {"sales", "usp.Dotted.Name", "sales.usp.Dotted.Name.sql"},
        // A dot in the schema would move the border between schema and name.
        {"a.b", "c", "a%2Eb.c.sql"},
        {"dbo", "a/b", "dbo.a%2Fb.sql"},
        {"dbo", "100%", "dbo.100%25.sql"},
        {"dbo", "[Victim]", "dbo.[Victim].sql"},
        {"dbo", std::string("nul\0here", 8), "dbo.nul%00here.sql"},
        {"dbo", "tab\there\nline", "dbo.tab%09here%0Aline.sql"},
        {"dbo", "..", "dbo....sql"},
        {"", ".", "..sql"},
        {"dbo", "a~b", "dbo.a%7Eb.sql"},
        {"dbo", "w:i*n?d\"o<w>s|\\", "dbo.w%3Ai%2An%3Fd%22o%3Cw%3Es%7C%5C.sql"},
        {"схема", "顧客表", "схема.顧客表.sql"},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> files = AssignScriptFileNames({{c.schema, c.name}});
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0], c.file) << c.name;
        EXPECT_TRUE(ValidLinuxFileName(files[0])) << files[0];
    }
}

TEST(ScriptFolderNames, LongAndFoldedNamesGetAHashAndStayUniqueAndStable) {
    const std::string cyrillic128 = [] {
        std::string s;
        for (int i = 0; i < 128; ++i)
            s += "Ж";
        return s;
    }();
    const std::vector<ScriptFileName> names = {
        {"dbo", "Orders"},
        {"dbo", "ORDERS"}, // the same file where case is folded
        {"dbo", "orders"},
        {"dbo", std::string(128, 'x')},
        {"dbo", std::string(127, 'x') + "y"},
        {"dbo", cyrillic128}, // 256 bytes of name alone
        {"dbo", cyrillic128.substr(2) + "ж"},
        {"dbo", "Ä"},
        {"dbo", "ä"},
        {std::string(128, 's'), std::string(128, '%')},
    };
    const std::vector<std::string> files = AssignScriptFileNames(names);
    ASSERT_EQ(files.size(), names.size());
    std::set<std::string> folded;
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_TRUE(ValidLinuxFileName(files[i])) << files[i];
        EXPECT_TRUE(folded.insert(FoldForFileSystem(files[i])).second) << files[i];
    }
    EXPECT_NE(files[0].find('~'), std::string::npos);
    EXPECT_EQ(files[3], "dbo." + std::string(128, 'x') + ".sql"); // 136 bytes: kept whole
    EXPECT_NE(files[5].find('~'), std::string::npos);
    // Cut at a character boundary: what is left is still valid UTF-8 Cyrillic.
    EXPECT_EQ((files[5].find('~') - 4) % 2, 0u) << files[5];
    // The same names in another order give the same files.
    std::vector<ScriptFileName> reversed(names.rbegin(), names.rend());
    std::vector<std::string> again = AssignScriptFileNames(reversed);
    std::reverse(again.begin(), again.end());
    EXPECT_EQ(again, files);
    // A clash only marks the names that clash.
    EXPECT_EQ(AssignScriptFileNames({{"dbo", "Orders"}, {"dbo", "Lines"}})[0], "dbo.Orders.sql");
}

TEST(ScriptFolderManifest, KeepsEveryNameExactlyAndRefusesWhatItCannotTrust) {
    ScriptFolderManifest m;
    m.Version = "10.50.1600.1";
    m.VersionMajor = 10;
    m.Database = "Sales\tDb";
    m.CrLf = true;
    m.Files = {{kTypeTable, "dbo", "a\\b\tc\nd\re", "Tables/dbo.a%5Cb%09c%0Ad%0De.sql"},
               {kFolderSchemas, "", "схема", "Schemas/схема.sql"},
               {kFolderUserTypes, "dbo", "Sku", "Types/dbo.Sku.sql"},
               {kTypeProcedure, "sales", "usp_X", "Procedures/sales.usp_X.sql"}};
    const std::string text = ManifestText(m);
    ScriptFolderManifest back;
    std::string error;
    ASSERT_TRUE(ParseManifest(text, back, error)) << error;
    EXPECT_EQ(back.Version, m.Version);
    EXPECT_EQ(back.VersionMajor, 10);
    EXPECT_EQ(back.Database, m.Database);
    EXPECT_TRUE(back.CrLf);
    ASSERT_EQ(back.Files.size(), m.Files.size());
    for (size_t i = 0; i < m.Files.size(); ++i) {
        EXPECT_EQ(back.Files[i].Type, m.Files[i].Type);
        EXPECT_EQ(back.Files[i].Schema, m.Files[i].Schema);
        EXPECT_EQ(back.Files[i].Name, m.Files[i].Name);
        EXPECT_EQ(back.Files[i].Path, m.Files[i].Path);
    }
    const std::string header = "ORVANE-SCRIPTS-FOLDER 1\nversion 8.00.2039\n\n";
    const std::pair<std::string, std::string> refused[] = {
        {"", "not an Orvane scripts folder manifest"},
        {"ORVANE-SNAPSHOT 1.0\n", "not an Orvane scripts folder manifest"},
        {"ORVANE-SCRIPTS-FOLDER 2\n", "written by a later release (format 2)"},
        {header + "Tables\tdbo\tX\t../outside.sql\n", "damaged line 4"},
        {header + "Tables\tdbo\tX\t/etc/passwd\n", "damaged line 4"},
        {header + "Tables\tdbo\tX\n", "damaged line 4"},
        {header + "Gadgets\tdbo\tX\tGadgets/dbo.X.sql\n", "unknown folder 'Gadgets' on line 4"},
    };
    for (const auto& [bad, message] : refused) {
        ScriptFolderManifest out;
        EXPECT_FALSE(ParseManifest(bad, out, error)) << bad;
        EXPECT_EQ(error, message) << bad;
    }
    // Keys a later minor release adds are skipped.
    ASSERT_TRUE(
        ParseManifest("ORVANE-SCRIPTS-FOLDER 1\nversion 8.00.2039\ncolour blue\n\n", back, error));
    EXPECT_EQ(back.Version, "8.00.2039");
}

} // namespace
} // namespace orv
