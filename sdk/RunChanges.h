#pragma once

#include "core/Error.h"
#include "platform/ContentDigest.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A file that a run put somewhere: where, and what it held then.
struct MadeFile {
    std::wstring path;
    Vexo::Platform::ContentDigest digest;
};

// What one install or uninstall changed on the machine, noted as it goes, so
// that a run that does not complete can be undone, also by a later run when
// this one is stopped part way (see RecoveryRecord.h).
struct RunChanges {
    std::vector<std::filesystem::path> createdFolders; // outermost first
    std::vector<MadeFile> written;                     // files it put in place
    std::vector<MadeFile> movedAside;                  // files it renamed aside, by their new name
    std::vector<std::wstring> handedToRegsvr32;        // files regsvr32 was started on
    std::vector<std::wstring> registered;              // files regsvr32 registered
    // The one folder the run writes the DLLs into, once it is chosen: every
    // file it writes, renames aside or registers lies in it.
    std::wstring installFolder;
    // Both DLLs are in place byte for byte and registered.
    bool complete = false;

    // Writes the changes where they outlive the process before each change
    // is made; the reason when that failed, and then the change is not
    // made. Not set: the changes live in memory only.
    std::function<std::optional<Vexo::Error>(const RunChanges&)> writeAhead;
    // Why the first change that could not be written ahead was refused; no
    // change is made after it.
    std::optional<Vexo::Error> writeAheadFailure;

    // Each notes what is about to be done and says whether it may go ahead.
    // Folders are noted with the files that are to be written into the
    // innermost one, so that the record names no folder for nothing.
    bool AboutToCreateFolders(const std::vector<std::filesystem::path>& outermostFirst,
                              const std::vector<MadeFile>& filesInIt);
    // Takes back the folders that could not be made after all, with the
    // files that were to be written into them.
    void NotCreated(const std::vector<std::filesystem::path>& folders);
    bool AboutToWrite(const MadeFile& file);
    bool AboutToMoveAside(const MadeFile& aside);
    bool AboutToRegister(const std::wstring& file);
    // Takes back a write that did not happen: the file there is not this
    // run's to delete.
    void NotWritten(const std::wstring& file);
    // Notes a registration that regsvr32 reported done.
    void Registered(const std::wstring& file);

private:
    bool WriteAhead();
};
