#include "sdk/RunChanges.h"

#include "platform/WindowsPath.h"

#include <algorithm>

namespace {

template <typename Item> bool Contains(const std::vector<Item>& list, const Item& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

std::vector<MadeFile>::iterator Find(std::vector<MadeFile>& files, const std::wstring& path) {
    return std::find_if(files.begin(), files.end(), [&path](const MadeFile& file) {
        return Vexo::Platform::SameFile(file.path, path);
    });
}

} // namespace

bool RunChanges::WriteAhead() {
    if (writeAheadFailure) {
        return false;
    }
    if (writeAhead) {
        writeAheadFailure = writeAhead(*this);
    }
    return !writeAheadFailure;
}

bool RunChanges::AboutToCreateFolders(const std::vector<std::filesystem::path>& outermostFirst,
                                      const std::vector<MadeFile>& filesInIt) {
    for (const auto& file : filesInIt) {
        if (Find(written, file.path) == written.end()) {
            written.push_back(file);
        }
    }
    if (!outermostFirst.empty()) {
        installFolder = outermostFirst.back().wstring();
    }
    createdFolders.insert(createdFolders.end(), outermostFirst.begin(), outermostFirst.end());
    return WriteAhead();
}

void RunChanges::NotCreated(const std::vector<std::filesystem::path>& folders) {
    for (const auto& folder : folders) {
        const auto lies = [&folder](const MadeFile& file) {
            return Vexo::Platform::SameFile(Vexo::Platform::ParentFolder(file.path),
                                            folder.wstring());
        };
        written.erase(std::remove_if(written.begin(), written.end(), lies), written.end());
        createdFolders.erase(std::remove_if(createdFolders.begin(), createdFolders.end(),
                                            [&folder](const std::filesystem::path& made) {
                                                return Vexo::Platform::SameFile(made.wstring(),
                                                                                folder.wstring());
                                            }),
                             createdFolders.end());
        if (Vexo::Platform::SameFile(installFolder, folder.wstring())) {
            installFolder.clear();
        }
    }
    WriteAhead();
}

bool RunChanges::AboutToWrite(const MadeFile& file) {
    installFolder = Vexo::Platform::ParentFolder(file.path);
    const auto known = Find(written, file.path);
    if (known != written.end() && known->digest == file.digest) {
        return !writeAheadFailure; // noted with its folder already
    }
    if (known != written.end()) {
        written.erase(known);
    }
    written.push_back(file);
    return WriteAhead();
}

bool RunChanges::AboutToMoveAside(const MadeFile& aside) {
    movedAside.push_back(aside);
    return WriteAhead();
}

bool RunChanges::AboutToRegister(const std::wstring& file) {
    if (!Contains(handedToRegsvr32, file)) {
        handedToRegsvr32.push_back(file);
    }
    return WriteAhead();
}

void RunChanges::NotWritten(const std::wstring& file) {
    const auto noted = Find(written, file);
    if (noted != written.end()) {
        written.erase(noted);
        WriteAhead();
    }
}

void RunChanges::Registered(const std::wstring& file) {
    // Already done: a failure to note it only means a later run unregisters
    // it because a registration names it, as it would anyway.
    registered.push_back(file);
    WriteAhead();
}
