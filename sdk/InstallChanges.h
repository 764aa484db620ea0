#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// What one install changed on the machine, written down as it goes, so that
// an install that does not complete can be undone, also by a later run when
// this one is stopped part way.
struct InstallChanges {
    std::vector<std::wstring> handedToRegsvr32;        // files regsvr32 was started on
    std::vector<std::wstring> registered;              // files regsvr32 registered
    std::vector<std::wstring> written;                 // files it created or wrote over
    std::vector<std::filesystem::path> createdFolders; // outermost first
    // Both DLLs are in place byte for byte and registered.
    bool complete = false;
    // Keeps the changes where they outlive the process. Each change is noted
    // and kept before it is made; a change that could not be kept is not
    // made. Not set: they live in memory only.
    std::function<bool(const InstallChanges&)> keep;

    // Each notes what is about to be done and says whether it may go ahead.
    bool AboutToCreateFolder(const std::filesystem::path& folder);
    bool AboutToWrite(const std::wstring& file);
    bool AboutToRegister(const std::wstring& file);
    // Takes back a write that did not happen: the file there is not this
    // install's to delete.
    void NotWritten(const std::wstring& file);
    // Notes a registration that regsvr32 reported done.
    void Registered(const std::wstring& file);
};
