// A snapshot run as a scripts folder: written as one into a private temporary folder, whose
// scripts then run in a scratch database as folder:<dir>'s do, so a deployment takes the
// snapshot as its Source exactly as it takes a folder.
#pragma once

#include "dbcompare/script_folder_read.h"

#include <functional>
#include <memory>
#include <string>

namespace orv {

// Reads the snapshot file, writes it as a scripts folder into a temporary folder only this
// user can read (removed once its scripts have run, however that ends) and loads that folder
// into a scratch database of the simulator `simulator` (FindSimulatorProgram when empty).
// False with a message naming the file when it cannot be read or lacks a result, or when the
// folder cannot be written or loaded.
bool LoadSnapshotAsFolder(const std::string& file, const std::string& simulator,
                          const CancelToken& cancel,
                          const std::function<void(const std::string&)>& progress,
                          LoadedScriptFolder& out, std::string& error);

// LoadSnapshotAsFolder with the simulator FindSimulatorProgram finds, telling `progress` of
// each object written and file run.
bool OpenSnapshotSide(const std::string& file, ProgressSink& progress, const CancelToken& cancel,
                      std::shared_ptr<LoadedScriptFolder>& loaded, std::string& error);

} // namespace orv
