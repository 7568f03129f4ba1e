// Saved comparison processes: one numbered section each of the comparisons INI file, holding
// what is needed to set the same comparison up again, with its export and print settings.
//
// Keys of a section (all values text):
//   Name            the name the user gave the process (optional; the number stays the key)
//   CompType        1 structure comparison, 2 data comparison
//   CompSubType     10 all objects, 20 bulk (every object of one type), 30 selective,
//                   35 a single pair of objects; for a data comparison 10 all tables,
//                   30 selected tables, 35 a single pair of tables
//   CompSubSubType  0 simple report, 1 details report
//   EncObjTypes     the seven-flag text of the compared types ("1,0,0,0,0,0,0" or "1000000")
//   ServerName1/2, DbName1/2   the Source and Target
//   TableName1/2, ObjId1/2     the single pair's objects as listed, and their ids
//   SelCompCountSource/Target, SelCompSource<n>/SelCompTarget<n>   the selective picks
//   ExportFilePath, ExportType (1 HTML, 2 CSV), Print ("True"/"False")
//   Include<n>, Exclude<n>   the object name patterns ([TYPE:][schema.]name with * and ?) a
//                   run keeps or leaves out, numbered from 1 (absent: none)
//   NotComparable   "error" (absent: the same) or "report": whether an object that cannot be
//                   compared makes the run's status 2 or is only reported
// A data comparison keeps its table pairs in the selective keys: SelCompCountSource and
// SelCompCountTarget both hold the number of pairs, SelCompSource<n>/SelCompTarget<n> the two
// tables of pair n as "[schema].[name]" (brackets doubled inside, "[name]" without a schema),
// DataKey<n> the key columns picked for pair n as "[col1],[col2]" (absent: the tables' own
// key), and DataMode 0 auto, 1 merge, 2 hash.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orv {

constexpr int32_t kCompTypeStructure = 1;
constexpr int32_t kCompSubTypeAllObjects = 10;
constexpr int32_t kCompSubTypeBulk = 20;
constexpr int32_t kCompSubTypeSelective = 30;
constexpr int32_t kCompSubTypeSinglePair = 35;
constexpr int32_t kCompSubSubTypeSimple = 0;
constexpr int32_t kCompSubSubTypeDetails = 1;

constexpr int32_t kCompTypeData = 2;
constexpr int32_t kCompSubTypeDataAllTables = 10;
constexpr int32_t kCompSubTypeDataSelected = 30;
constexpr int32_t kCompSubTypeDataSinglePair = 35;
constexpr int32_t kDataModeAuto = 0;
constexpr int32_t kDataModeMerge = 1;
constexpr int32_t kDataModeHash = 2;

// The ExportType values.
constexpr int32_t kExportHtml = 1;
constexpr int32_t kExportCsv = 2;

struct ComparisonDescription {
    std::string Name;
    std::string ServerName[2];
    std::string DbName[2];
    std::string TableName[2];
    int32_t CompType = 0;
    int32_t CompSubType = 0;
    int32_t CompSubSubType = 0;
    std::string EncObjTypes;
    int32_t CompMethod = 0;
    bool PlayingSavedComp = false;
    std::string SavedFullExportFilePath;
    // 0: taken from the export file's name when saved.
    int32_t ExportType = 0;
    int32_t CheckCount[2] = {0, 0};
    // Saved as SelCompSource1..n and SelCompTarget1..n, at most CheckCount of each.
    std::vector<std::string> CheckedObjects[2];
    bool Print = false;
    std::string TableId[2]; // decimal text
    // Data comparison: per pair (index as in CheckedObjects) its picked key text, "" for none.
    std::vector<std::string> DataKeys;
    int32_t DataMode = kDataModeAuto;
    // The name patterns a run keeps (none: every object) and leaves out.
    std::vector<std::string> IncludePatterns;
    std::vector<std::string> ExcludePatterns;
    // An object that cannot be compared is only reported instead of making the status 2.
    bool ReportNotComparable = false;
    // Action=deploy: after the comparison, the deployment script of its differing objects is
    // written to DeployScriptFile (never losing data); with DeployApply=True it is also run on
    // the target, but only when DeployTarget names the target database again.
    bool Deploy = false;
    std::string DeployScriptPath;
    bool DeployApply = false;
    std::string DeployTarget;
};

// "[schema].[name]" ("[name]" for an empty schema), and back; false on a malformed text.
std::string BracketedTableName(const std::string& schema, const std::string& name);
bool ParseBracketedTableName(const std::string& text, std::string& schema, std::string& name);
// "[a],[b]" of a column list, and back; false on a malformed text.
std::string BracketedColumnList(const std::vector<std::string>& columns);
bool ParseBracketedColumnList(const std::string& text, std::vector<std::string>& columns);

// The export type a file name implies: .htm/.html, .csv, anything else 0.
int32_t ExportTypeOf(const std::string& path);
// `path` with the ending of export type `type`: a .htm/.html/.csv ending is replaced by the
// type's (".html", ".csv"), any other name gets it appended; an empty path stays empty.
std::string WithExportExtension(const std::string& path, int32_t type);

// Writes the description as the section of the lowest unused process number (1, 2, ...) and
// returns that number; 0 when the file could not be written. The number is chosen and the
// section written under the file's lock, so two programs saving at once keep both processes.
int32_t SaveComparisonProcess(const std::string& iniPath, const ComparisonDescription& d);

// Reads process `number` and checks every value. False with a message naming the section and
// the key when the section is missing or a value is missing or malformed.
bool ReadComparisonProcess(const std::string& iniPath, int32_t number, ComparisonDescription& d,
                           std::string& error);
// As ReadComparisonProcess, without the message.
bool LoadComparisonProcess(const std::string& iniPath, int32_t number, ComparisonDescription& d);

// One row of the list of saved processes: the description, or why it is refused.
struct SavedProcessEntry {
    int32_t Number = 0;
    bool Valid = false;
    ComparisonDescription Description;
    std::string Error;
};
// Every section whose name is a process number, in ascending number order.
std::vector<SavedProcessEntry> ListComparisonProcesses(const std::string& iniPath);

// False when there is no such process or the file could not be written.
bool RenameComparisonProcess(const std::string& iniPath, int32_t number, const std::string& name);
bool DeleteComparisonProcess(const std::string& iniPath, int32_t number);
// Rewrites process `number` with `d` (as edited: name, export file and type, print, the name
// patterns and the not-comparable setting), keeping its number. False when there is no such
// process or the file could not be written (it is then unchanged).
bool UpdateComparisonProcess(const std::string& iniPath, int32_t number,
                             const ComparisonDescription& d);

// "Compare All Objects", "Compare All Tables - Details", "Compare Selected Views",
// "Compare Tables dbo.A and dbo.B", ...: what the process compares, for lists and log lines.
std::string ComparisonKindText(const ComparisonDescription& d);
// The user's name, or "Process N" when none was given.
std::string ComparisonDisplayName(int32_t number, const ComparisonDescription& d);

} // namespace orv
