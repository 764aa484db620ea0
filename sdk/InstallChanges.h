#pragma once

#include <filesystem>
#include <string>
#include <vector>

// What one install changed on the machine, written down as it goes, so that
// an install that does not complete can be undone.
struct InstallChanges {
    std::vector<std::wstring> registered;              // files regsvr32 registered
    std::vector<std::wstring> written;                 // files it created or wrote over
    std::vector<std::filesystem::path> createdFolders; // outermost first
    // Both DLLs are in place byte for byte and registered.
    bool complete = false;
};
