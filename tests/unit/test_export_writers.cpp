// The export room's writers: CSV fields read back by an independent RFC 4180 reader, HTML that
// never lets data become markup, and export files that are all or nothing.
#include "../support/csv_reader.h"
#include "export/csv.h"
#include "export/export_file.h"
#include "export/html.h"
#include "export/printable_text.h"
#include "export/spool_text.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv {
namespace {

using test::ReadCsv;

namespace fs = std::filesystem;

const std::string k128(128, 'n');

const std::vector<std::string> kHostileValues = {
    "",
    "plain",
    "a,b",
    "say \"hi\"",
    "\"",
    "\"\"",
    ",",
    "line\r\nbreak",
    "lone\rcr",
    "lone\nlf",
    "\r\n",
    " padded ",
    "dbo.[Order Details]",
    "x]]y",
    "it's -- not a comment",
    "<script>alert(1)</script>",
    "Caf\xC3\xA9 \xF0\x9F\x98\x80",
    k128,
};

TEST(ExportCsv, EveryHostileValueReadsBackExactly) {
    for (const std::string& v : kHostileValues) {
        std::string out;
        AppendCsvRecord(out, {"first", v, "last"});
        const auto records = ReadCsv(out);
        ASSERT_EQ(records.size(), 1u) << v;
        EXPECT_EQ(records[0], (std::vector<std::string>{"first", v, "last"})) << out;
    }
    // All of them in one record too: fields never run into each other.
    std::string out;
    for (const std::string& v : kHostileValues)
        AppendCsvRecord(out, {v, v});
    const auto records = ReadCsv(out);
    ASSERT_EQ(records.size(), kHostileValues.size());
    for (size_t i = 0; i < records.size(); ++i)
        EXPECT_EQ(records[i], (std::vector<std::string>{kHostileValues[i], kHostileValues[i]}));
}

TEST(ExportCsv, QuotesOnlyWhenNeeded) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"", ""},
        {" padded ", " padded "},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"a\nb", "\"a\nb\""},
        {"a\rb", "\"a\rb\""},
        {"Caf\xC3\xA9", "Caf\xC3\xA9"},
    };
    for (const auto& [value, field] : cases)
        EXPECT_EQ(CsvField(value), field) << value;
    std::string out;
    AppendCsvRecord(out, {"a", "", "c"});
    EXPECT_EQ(out, "a,,c\r\n");
}

TEST(ExportHtml, DataNeverBecomesMarkup) {
    const std::pair<std::string, std::string> cases[] = {
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"a & b", "a &amp; b"},
        {"&amp;", "&amp;amp;"},
        {"\"quoted\" 'single'", "&quot;quoted&quot; &#39;single&#39;"},
        {std::string("nul\0here", 8), "nul\xEF\xBF\xBDhere"},
        {"Caf\xC3\xA9 \xF0\x9F\x98\x80", "Caf\xC3\xA9 \xF0\x9F\x98\x80"},
    };
    for (const auto& [text, escaped] : cases)
        EXPECT_EQ(HtmlEscape(text), escaped);

    // Through the page builder, in content and in attribute values alike.
    std::string out;
    HtmlPage page(out);
    page.Begin("</title><script>x()</script>", "p { color: red; }\n");
    const std::string hostile = "\" onclick=\"x()\" '<script>";
    page.Element("p", hostile, {{"title", hostile}, {"class", "c"}});
    page.End();
    EXPECT_EQ(out.find("<script"), std::string::npos) << out;
    EXPECT_EQ(out.find("onclick=\""), std::string::npos) << out;
    EXPECT_NE(out.find("<p title=\"&quot; onclick=&quot;x()&quot; &#39;&lt;script&gt;\" "
                       "class=\"c\">"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.rfind("</html>\n"), out.size() - 8);
    EXPECT_EQ(out.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(out.find("<meta charset=\"utf-8\">"), std::string::npos);
}

TEST(ExportHtml, ColoursAreCssHex) {
    EXPECT_EQ(CssColour(RGBColour(192, 255, 192)), "#c0ffc0");
    EXPECT_EQ(CssColour(RGBColour(122, 195, 217)), "#7ac3d9");
    EXPECT_EQ(CssColour(RGBColour(0, 0, 0)), "#000000");
}

TEST(ExportText, ControlCharactersBecomeVisible) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain\ttab", "plain\ttab"},
        {"a\r\nb", "a\xE2\x90\x8D\xE2\x90\x8A"
                   "b"},
        {"\x1B[31mred", "\xE2\x90\x9B[31mred"},
        {std::string("\0", 1), "\xE2\x90\x80"},
        {"del\x7F", "del\xE2\x90\xA1"},
        {"Caf\xC3\xA9 \xF0\x9F\x98\x80", "Caf\xC3\xA9 \xF0\x9F\x98\x80"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(PrintableText(text), shown);
}

// ---- the export file -----------------------------------------------------------------------

class ExportFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "orvexport-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern + "/";
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void Put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    // Nothing but the named files is left in the folder (no temporary file).
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string dir_;
};

TEST_F(ExportFileTest, RefusedPathsSayWhyAndLeaveNothing) {
    fs::create_directories(dir_ + "sub");
    Put(dir_ + "existing.csv", "old");
    struct Case {
        std::string path;
        std::string message;
    };
    const Case cases[] = {
        {"", "No file was named for the export."},
        {dir_ + "missing/report.csv", "Cannot write the file " + dir_ +
                                          "missing/report.csv: the folder " + dir_ +
                                          "missing does not exist."},
        {dir_ + "existing.csv/report.csv", "Cannot write the file " + dir_ +
                                               "existing.csv/report.csv: the folder " + dir_ +
                                               "existing.csv does not exist."},
        {dir_ + "sub", "Cannot write the file " + dir_ + "sub: it is a folder."},
        {dir_ + "sub/", "Cannot write the file " + dir_ + "sub/: it is a folder."},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(WriteExportFile(c.path, "new", error)) << c.path;
        EXPECT_EQ(error, c.message);
    }
    EXPECT_EQ(Entries(), (std::vector<std::string>{"existing.csv", "sub"}));
    EXPECT_TRUE(fs::is_empty(dir_ + "sub"));
    EXPECT_EQ(Read(dir_ + "existing.csv"), "old");
}

TEST_F(ExportFileTest, ReplacesWholeKeepingTheOldFilesMode) {
    const std::string path = dir_ + "report.html";
    Put(path, "an older and longer report");
    ::chmod(path.c_str(), 0600);
    std::string error;
    ASSERT_TRUE(WriteExportFile(path, "new", error)) << error;
    EXPECT_EQ(Read(path), "new");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(Entries(), std::vector<std::string>{"report.html"});

    // A link keeps being a link; the file it names gets the report.
    const std::string link = dir_ + "latest.html";
    fs::create_symlink(path, link);
    ASSERT_TRUE(WriteExportFile(link, "newer", error)) << error;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(path), "newer");
}

TEST_F(ExportFileTest, NothingAppearsUntilCommitAndNothingStaysWithoutIt) {
    const std::string path = dir_ + "report.csv";
    Put(path, "old");
    {
        ExportFile file;
        std::string error;
        ASSERT_TRUE(file.Open(path, error)) << error;
        ASSERT_TRUE(file.Write("part one, "));
        EXPECT_EQ(Read(path), "old");
        EXPECT_EQ(Entries().size(), 2u); // the old file and the hidden temporary one
        // Dropped without Commit: the run that wrote it failed.
    }
    EXPECT_EQ(Read(path), "old");
    EXPECT_EQ(Entries(), std::vector<std::string>{"report.csv"});
}

TEST_F(ExportFileTest, AFolderWithoutWriteAccessIsAnError) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes everywhere";
    const std::string path = dir_ + "report.csv";
    Put(path, "old");
    ::chmod(dir_.c_str(), 0500);
    std::string error;
    EXPECT_FALSE(WriteExportFile(path, "new", error));
    EXPECT_EQ(error, "Cannot write the file " + path + ": Permission denied.");
    ::chmod(dir_.c_str(), 0700);
    EXPECT_EQ(Read(path), "old");
}

// A disk that fills up half way: the write fails, the old file stays, no temporary remains.
TEST_F(ExportFileTest, AFailedWriteLeavesTheOldFile) {
    const std::string path = dir_ + "report.txt";
    Put(path, "old");
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    const bool written = WriteExportFile(path, std::string(5000, 'x'), error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(error, "Cannot write the file " + path + ": File too large.");
    EXPECT_EQ(Read(path), "old");
    EXPECT_EQ(Entries(), std::vector<std::string>{"report.txt"});
}

} // namespace
} // namespace orv

namespace orv {
namespace {

// Text that outgrows the memory tail many times over, in pieces of every size.
std::string Pieces(SpoolText& spool) {
    std::string whole;
    for (int i = 0; i < 3000; ++i) {
        const std::string piece = "piece " + std::to_string(i) + std::string(i % 97, 'x') + "\r\n";
        spool += piece;
        whole += piece;
    }
    return whole;
}

TEST(SpoolText, GivesBackExactlyWhatWasAppendedAcrossTheTemporaryFile) {
    SpoolFile file;
    SpoolText a(file, 1000);
    SpoolText b(file, 1000); // two spools interleaved in one file keep their own text
    SpoolText empty(file, 1000);
    std::string expectB;
    for (int i = 0; i < 50; ++i) {
        const std::string piece = "b" + std::to_string(i) + std::string(200, 'y');
        b += piece;
        expectB += piece;
    }
    const std::string expectA = Pieces(a);
    EXPECT_EQ(a.Size(), expectA.size());
    size_t calls = 0;
    std::string readBack;
    ASSERT_TRUE(a.WriteTo([&](std::string_view piece) {
        ++calls;
        EXPECT_LE(piece.size(), 2000u) << "a chunk far larger than the tail";
        readBack.append(piece);
        return true;
    }));
    EXPECT_EQ(readBack, expectA);
    EXPECT_GT(calls, 10u);
    EXPECT_EQ(b.Text(), expectB);
    EXPECT_TRUE(empty.Empty());
    EXPECT_EQ(empty.Text(), "");
    EXPECT_TRUE(file.Problem().empty()) << file.Problem();
    // A writer that gives up stops the read at once.
    calls = 0;
    EXPECT_FALSE(a.WriteTo([&](std::string_view) { return ++calls < 3; }));
    EXPECT_EQ(calls, 3u);
}

TEST(SpoolText, ATemporaryFolderThatCannotBeUsedIsReportedNeverWrittenHalf) {
    const char* saved = std::getenv("TMPDIR");
    const std::string old = saved ? saved : "";
    ::setenv("TMPDIR", "/nonexistent-orvane-folder", 1);
    SpoolFile file;
    SpoolText text(file, 100);
    Pieces(text);
    if (saved)
        ::setenv("TMPDIR", old.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    EXPECT_NE(file.Problem().find("/nonexistent-orvane-folder"), std::string::npos)
        << file.Problem();
    bool wrote = false;
    EXPECT_FALSE(text.WriteTo([&](std::string_view) { return wrote = true; }));
    EXPECT_FALSE(wrote);
}

TEST_F(ExportFileTest, AStreamedFileIsWrittenWholeOrNotAtAll) {
    const std::string path = dir_ + "script.sql";
    Put(path, "old");
    std::string error;
    ASSERT_TRUE(StreamExportFile(
        path, [](const ExportWriter& write) { return write("one, ") && write("two"); }, "", error))
        << error;
    EXPECT_EQ(Read(path), "one, two");

    // A producer that fails part-way leaves the file as it was and says why.
    const std::string why = "Cannot write a temporary file: No space left on device.";
    EXPECT_FALSE(StreamExportFile(
        path, [](const ExportWriter& write) { return write("half") && false; }, why, error));
    EXPECT_EQ(error, "Cannot write the file " + path + ": " + why);
    EXPECT_EQ(Read(path), "one, two");
    EXPECT_EQ(Entries(), std::vector<std::string>{"script.sql"});

    // A file that cannot be made is the file's own message; the producer is never asked.
    bool asked = false;
    EXPECT_FALSE(StreamExportFile(
        dir_ + "missing/x.sql",
        [&](const ExportWriter&) {
            asked = true;
            return true;
        },
        why, error));
    EXPECT_FALSE(asked);
    EXPECT_EQ(error, "Cannot write the file " + dir_ + "missing/x.sql: the folder " + dir_ +
                         "missing does not exist.");
}

} // namespace
} // namespace orv

namespace orv {
namespace {

// A proposed file name never carries a path or a character shells trip over.
TEST(ExportFile, ProposedNamesAreMadeSafe) {
    EXPECT_EQ(FileNameSafe("deploy Shop/Test: v2?", "deploy"), "deploy Shop_Test_ v2_");
    EXPECT_EQ(FileNameSafe(std::string("a\0b", 3), "x"), "a_b");
    EXPECT_EQ(FileNameSafe("", "sync"), "sync");
    EXPECT_EQ(FileNameSafe("<|>*\"\\", "x"), "______");
}

} // namespace
} // namespace orv
