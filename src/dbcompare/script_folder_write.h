// Writing a database as a scripts folder: one runnable script per object (schemas, tables,
// relationships, functions, views, procedures, triggers), in the layout of
// catalog/script_folder_layout.h, plus the manifest. Nothing in a file depends on the time or
// on the order the server lists objects in, so an unchanged object gives an unchanged file.
#pragma once

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

// Line breaks of a text as the folder keeps them: every CR LF (and lone CR) becomes LF, and
// with `crlf` every LF then becomes CR LF.
std::string FolderLineBreaks(const std::string& text, bool crlf);

// Reads the database at `place` and builds every file. Tables are scripted with their complete
// scripts (every index, key, default and CHECK constraint; names the server generated left
// for the server to generate again), through the server entry of `place`. False with `error`
// (and the query in `failedSql`) when a query failed or `cancel` stopped it.
bool BuildScriptFolder(const QueryPlace& place, const ServerFacts& facts, bool crlf,
                       const CancelToken& cancel,
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
