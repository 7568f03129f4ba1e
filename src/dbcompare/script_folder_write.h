// Writing a database as a scripts folder: one runnable script per object (schemas, tables,
// relationships, functions, views, procedures, triggers), in the layout of
// catalog/script_folder_layout.h, plus the manifest. Nothing in a file depends on the time or
// on the order the server lists objects in, so an unchanged object gives an unchanged file.
#pragma once

#include "catalog/catalog_rows.h"
#include "catalog/create_table.h"
#include "catalog/script_folder_layout.h"
#include "servers/server_facts.h"
#include "servers/worker_query.h"
#include "util/progress.h"

#include <functional>
#include <string>
#include <vector>

namespace orv {

struct ScriptFolderContent {
    ScriptFolderManifest Manifest;
    // The text of each of Manifest.Files, in the same order.
    std::vector<std::string> Texts;
    // Objects with no file, each "<type> <schema>.<name> (<reason>)": encrypted modules, and
    // tables whose structure could not be read.
    std::vector<std::string> Skipped;
};

// The script of one module: its stored text (with the current name in its header, should it
// have been renamed since), then GO. `text` has CR LF line breaks, as the bulk reader gives it.
std::string ModuleScript(const std::string& text, const std::string& schema,
                         const std::string& name);

// The script of one table from the parts of its CREATE statement, named `qualifiedName`: the
// statement, then GO after each batch (LF line breaks).
std::string TableScriptText(const TableCreateParts& parts, const std::string& qualifiedName);

// Line breaks of a text as the folder keeps them: every CR LF (and lone CR) becomes LF, and
// with `crlf` every LF then becomes CR LF.
std::string FolderLineBreaks(const std::string& text, bool crlf);

// Reads the database at `place` and builds every file: BuildScriptFolderFrom over its rows,
// each result asked of the server once. False with `error` (and the query in `failedSql`)
// when a query failed or `cancel` stopped it.
bool BuildScriptFolder(const QueryPlace& place, const ServerFacts& facts, bool crlf,
                       const CancelToken& cancel,
                       const std::function<void(const std::string&)>& progress,
                       ScriptFolderContent& content, OdbcError& error, std::string& failedSql);

// Builds every file from the catalog rows of `rows` (a live database behind a recording
// source, or a snapshot), whose server and database `facts` and `database` name. Tables are
// scripted with their complete scripts (every index, key, default and CHECK constraint; names
// the server generated left for the server to generate again) from whole-database results,
// which `rows` is asked for twice (a live source should keep them). An older snapshot without
// the user-defined types gives a folder without them.
bool BuildScriptFolderFrom(CatalogRows& rows, const ServerFacts& facts, const std::string& database,
                           bool crlf, const CancelToken& cancel,
                           const std::function<void(const std::string&)>& progress,
                           ScriptFolderContent& content, OdbcError& error, std::string& failedSql);

// Writes the content into `folder` (made when missing): each file atomically (renamed into
// place), left untouched when its bytes are already these, the folder flushed to disk once they
// are all there; then removes the files an earlier manifest of this folder
// names that this one does not (files Orvane did not write are never touched); the manifest
// last. `removed` gets the paths removed. False with a message naming the file.
bool WriteScriptFolder(const std::string& folder, const ScriptFolderContent& content,
                       std::vector<std::string>& removed, std::string& error);

} // namespace orv
