// How a scripts folder lays out its files: one folder per object type, one file per object named
// after its schema and name, and a manifest naming every file Orvane wrote. Names are data, so
// a name that cannot be a file name on its own (it holds "/" or control bytes, is too long, or
// differs from another only in letter case) is encoded; the encoding never loses which object a
// file holds, because the manifest keeps the exact names.
#pragma once

#include "catalog/object_types.h"

#include <string>
#include <vector>

namespace orv {

// The manifest's file name inside the folder.
constexpr const char* kScriptFolderManifest = "orvane-folder.txt";
constexpr int kScriptFolderFormat = 1;

// What a folder holds besides the compared types: the schemas (or, on SQL Server 2000, the
// owners) and the user-defined data types the objects need.
constexpr ObjectType kFolderSchemas = -2;
constexpr ObjectType kFolderUserTypes = -1;

// "Schemas", "Types", "Tables", "Relationships", "Functions", "Views", "Procedures",
// "Triggers"; empty for any other type.
std::string ScriptFolderOf(ObjectType type);
// Those types in the order a folder is read back in: what others depend on first.
std::vector<ObjectType> ScriptFolderOrder();

// The type whose folder this is, or kTypeNone.
ObjectType ScriptFolderType(const std::string& folder);

// One name part as it stands in a file name: "%" "/" "\" ":" "*" "?" "\"" "<" ">" "|" "~", control
// bytes and DEL become %XX (upper-case hex), and so does "." where `dotToo` (a schema, whose
// first unencoded "." ends it). Every other byte, UTF-8 included, is kept.
std::string EncodeNamePart(const std::string& part, bool dotToo);

struct ScriptFileName {
    std::string Schema; // empty for a schema's own file
    std::string Name;
};

// The file names (without folder) of objects that share one folder, in the same order:
// "<schema>.<name>.sql", or "<name>.sql" without a schema. A name whose folded form (letter
// case, as file systems that ignore it fold it) equals another's gets "~<16 hex digits>" (a
// hash of its exact schema and name) before ".sql", and so does one whose file name would pass
// 255 bytes, cut at a character boundary first. The same names always give the same files.
std::vector<std::string> AssignScriptFileNames(const std::vector<ScriptFileName>& names);

// The letter-case folding used to find names that would share a file on a file system that
// ignores case: ASCII, Latin-1, Greek and Cyrillic letters.
std::string FoldForFileSystem(const std::string& text);

struct ManifestEntry {
    ObjectType Type = kTypeNone; // a compared type, kFolderSchemas or kFolderUserTypes
    std::string Schema;
    std::string Name;
    std::string Path; // relative to the folder, "/" between parts
};

struct ScriptFolderManifest {
    int Format = kScriptFolderFormat;
    std::string Version; // the server version the scripts are written for, as it gave it
    int VersionMajor = 0;
    std::string Database;
    bool CrLf = false;
    bool CompleteTableScripts = true;
    bool IgnoreSystemConstraintNames = true;
    std::vector<ManifestEntry> Files; // in the order they were written
};

// The manifest's text: no time stamp, so an unchanged database gives an unchanged manifest.
std::string ManifestText(const ScriptFolderManifest& manifest);
// False with a message for a text that is not a manifest, or of a newer format.
bool ParseManifest(const std::string& text, ScriptFolderManifest& manifest, std::string& error);

// Whether a relative path from a manifest stays inside the folder (no "..", not absolute).
bool IsSafeRelativePath(const std::string& path);

} // namespace orv
