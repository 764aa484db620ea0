// Runs stopped part way, as a deployment system's time limit, a closed
// console or a power loss stops them: the next run undoes what they left,
// from a recovery record it uses only when it can be trusted.
#include "e2e/OperationsFixture.h"

#include "core/OnExit.h"
#include "platform/ContentDigest.h"
#include "platform/FolderProtection.h"
#include "platform/UniqueHandle.h"
#include "sdk/RecoveryFolder.h"

#include <tlhelp32.h>

#include <functional>
#include <memory>
#include <thread>

using namespace operations;

namespace {

using Vexo::Platform::Protection;
using Vexo::Platform::ProtectionOf;
using Vexo::Platform::UniqueHandle;

const std::wstring oldBase = L"C:\\Ops\\Old\\";
const std::wstring oldFolder = L"C:\\Ops\\Old\\9_1_1";
const std::wstring newBase = L"C:\\Ops\\New\\";
const std::wstring newFolder = L"C:\\Ops\\New\\9_1_1";

std::wstring In(const std::wstring& folder, const std::wstring& name) {
    return Join(folder, name);
}

std::wstring RecordFolder() {
    return ProgramFiles() + L"\\Vexo\\Rimkit\\Recovery";
}

// What a slow stand-in DLL signals when it starts to register or unregister.
UniqueHandle SlowStep(const wchar_t* step, const wchar_t* bitness) {
    const std::wstring name = std::wstring(L"RimkitTestDouble.") + step + L"." + bitness;
    return UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
}

int Regsvr32Processes() {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        count += _wcsicmp(entry.szExeFile, L"regsvr32.exe") == 0 ? 1 : 0;
    }
    return count;
}

// The SDK files anywhere under C:\Ops, by path.
std::vector<std::wstring> SdkFilesUnderOps() {
    std::vector<std::wstring> found;
    for (const auto& entry : fs::recursive_directory_iterator(L"C:\\Ops")) {
        if (entry.path().filename().wstring().rfind(L"vexo_steering_wheel", 0) == 0) {
            found.push_back(entry.path().wstring());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string UndoneThen(const std::string& undoing, const std::string& then) {
    return versionLines + operations::undoing + undoing + undone + then + prompt;
}

// The old installation put back: written again, then registered again.
std::string OldRestored() {
    const std::wstring x86 = In(oldFolder, x86Name);
    const std::wstring x64 = In(oldFolder, x64Name);
    return Infos("Restored: ", {x86, x64}) + Infos("Registered: ", {x86, x64});
}

std::string NewFilesDeleted() {
    return Infos("Deleted: ", {In(newFolder, x64Name), In(newFolder, x86Name)});
}

// Leaves a record as a run leaves it before it changes anything, with
// `changes` as if it had made them.
void LeaveRecordOfNow(const RunChanges& changes = {}) {
    RecoveryRecord record{RememberInstallation().value(), changes, {}};
    const RecoveryFolder folder = RecoveryFolder::InProgramFiles().value();
    ASSERT_FALSE(folder.Prepare(record.recordFolders).hasError());
    ASSERT_FALSE(folder.SaveCopies(record.previous).hasError());
    ASSERT_FALSE(folder.Write(record).hasError());
}

// Lets every user write to `what` (below Vexo\Rimkit), or no longer.
void LetOthersWrite(const std::wstring& what, bool allowed) {
    const std::wstring path = ProgramFiles() + L"\\Vexo\\Rimkit\\" + what;
    const Protection then = allowed ? Protection::OthersCanChange : Protection::AdministratorsOnly;
    testsupport::RunUnixTool("RIMKIT_UNIX_CHMOD", (allowed ? L"o+w " : L"o-w ") + what,
                             ProgramFiles() + L"\\Vexo\\Rimkit",
                             [&] { return ProtectionOf(path) == then; });
}

std::string Field(const std::string& name, const std::string& value) {
    return name + " " + std::to_string(value.size()) + ":" + value + "\n";
}

// Each way a record can be spoilt makes `install` change nothing: the
// record, its copies, both views and every SDK file stay as they are, and so
// do the user's file and folder that one names; `status` gives `warned`.
void ExpectEverySpoiltRecordRefused(const std::function<std::string()>& install,
                                    const std::function<std::string(const std::string&)>& warned,
                                    const std::function<std::string()>& status) {
    const std::string record = ReadFileBytes(RecordPath());
    const std::wstring userFile = L"C:\\users\\Public\\Documents\\keep.txt";
    testsupport::WriteFileBytes(userFile, "mine");
    fs::create_directories(L"C:\\keepdir");
    const std::string held = "64 " + std::string(64, '0') + " ";
    const std::string system64 = "C:\\windows\\system32\\" + Narrow(x64Name);
    const auto resealed = [&](const std::string& fields) {
        const std::string body = record.substr(0, record.rfind("end 64:")) + fields;
        return body + "end 64:" + Vexo::Platform::Sha256Text(*Vexo::Platform::DigestOf(body)) +
               "\n";
    };
    const std::string damaged = "it is damaged";
    const std::string foreign = "it names a file that is not the SDK's: ";
    const std::string othersCanChange = "others than administrators can change it";
    const std::wstring copy = RecordFolder() + L"\\previous-0.bin";
    const std::string copyBytes = ReadFileBytes(copy);
    const std::wstring elsewhere = L"C:\\users\\Public\\Documents\\record.txt";
    enum class Spoil { Text, OthersMayWrite, FolderOthersMayWrite, CopyIsALink, SecondName };
    const struct {
        std::string record;
        Spoil how;
        std::string reason;
    } spoilt[] = {
        {record.substr(0, 40), Spoil::Text, damaged},
        {record.substr(0, 400), Spoil::Text, damaged},
        {record.substr(0, record.size() - 1), Spoil::Text, damaged},
        {resealed(Field("written", held + Narrow(userFile)) + Field("folder", "C:\\keepdir")),
         Spoil::Text, foreign + Narrow(userFile)},
        {resealed(Field("written", held + system64)), Spoil::Text, foreign + system64},
        // A folder in System32, and a file "below" it that lies elsewhere.
        {resealed(
             Field("folder", "C:\\windows\\system32\\empty") +
             Field("written", held + "C:\\windows\\system32\\empty\\..\\..\\..\\Ops\\New\\9_1_1\\" +
                                  Narrow(x64Name))),
         Spoil::Text,
         foreign + "C:\\windows\\system32\\empty\\..\\..\\..\\Ops\\New\\9_1_1\\" + Narrow(x64Name)},
        // Another SDK folder's DLL that no registration named, with a copy.
        {resealed(Field("file", "C:\\Ops\\Other\\" + Narrow(x86Name)) + Field("views", "32") +
                  Field("saved", held + "previous-2.bin")),
         Spoil::Text, foreign + "C:\\Ops\\Other\\" + Narrow(x86Name)},
        {resealed([] {
             std::string lines; // far more than any run writes; each is read at no cost
             for (int line = 0; line < 10000; ++line) {
                 lines += Field("handed", "C:\\Ops\\New\\9_1_1\\vexo_steering_wheel_x64.dll");
             }
             return lines;
         }()),
         Spoil::Text, damaged},
        {record, Spoil::OthersMayWrite, othersCanChange},
        {record, Spoil::FolderOthersMayWrite, ""},
        {record, Spoil::CopyIsALink, othersCanChange},
        {record, Spoil::SecondName, othersCanChange},
    };
    for (const auto& spoil : spoilt) {
        SCOPED_TRACE(spoil.reason);
        fs::remove(RecordPath());
        if (spoil.how == Spoil::SecondName) {
            testsupport::WriteFileBytes(elsewhere, spoil.record);
            ASSERT_TRUE(CreateHardLinkW(RecordPath().c_str(), elsewhere.c_str(), nullptr));
        } else {
            testsupport::WriteFileBytes(RecordPath(), spoil.record);
        }
        const bool folderMode = spoil.how == Spoil::FolderOthersMayWrite;
        if (spoil.how == Spoil::OthersMayWrite || folderMode) {
            LetOthersWrite(folderMode ? L"Recovery" : L"Recovery/rimkit_manager.recovery", true);
        }
        if (spoil.how == Spoil::CopyIsALink) {
            fs::remove(copy);
            testsupport::RunUnixTool(
                "RIMKIT_UNIX_LN", L"-s ../../../../users/Public/Documents/keep.txt previous-0.bin",
                RecordFolder(), [&] { return ProtectionOf(copy) == Protection::Link; });
        }
        const MachineState before = Snapshot({L"C:\\Ops", VexoFolder()});
        const std::string folderRefused = "The recovery folder cannot be kept: others than "
                                          "administrators can change " +
                                          Narrow(RecordFolder()) + ". Nothing was changed.";
        const ULONGLONG start = GetTickCount64();
        EXPECT_EQ(install(), versionLines +
                                 (folderMode ? Error(folderRefused) : RecordRefused(spoil.reason)) +
                                 prompt);
        EXPECT_LT(GetTickCount64() - start, 5000u);
        EXPECT_EQ(Snapshot({L"C:\\Ops", VexoFolder()}), before);
        EXPECT_EQ(ReadFileBytes(userFile), "mine");
        EXPECT_TRUE(testsupport::PathExists(L"C:\\keepdir"));
        EXPECT_EQ(status(), warned(folderMode ? Warning(folderRefused) : UnusableRecordWarning()));
        if (spoil.how == Spoil::OthersMayWrite || folderMode) {
            LetOthersWrite(folderMode ? L"Recovery" : L"Recovery/rimkit_manager.recovery", false);
        }
        if (spoil.how == Spoil::CopyIsALink) {
            testsupport::RunUnixTool("RIMKIT_UNIX_RM", L"previous-0.bin", RecordFolder(),
                                     [&] { return !testsupport::PathExists(copy); });
            testsupport::WriteFileBytes(copy, copyBytes);
        }
    }
    fs::remove(RecordPath());
    testsupport::WriteFileBytes(RecordPath(), record);
}

} // namespace

TEST_F(Operations, StoppedUpgradeIsUndoneByTheNextRun) {
    const std::string reinstall =
        UninstallOfBoth(oldFolder) + InstallOfBoth(NewVersionFolder(newBase, newBase), newFolder);
    const struct {
        const char* old;               // the installation first, slow where a step of it counts
        const char* exe;               // the upgrade that is stopped
        const wchar_t *step, *bitness; // stopped as soon as the slow DLL starts this
        std::string undoing;           // what the next run logs to undo it
        std::wstring then;             // the next run
    } cases[] = {
        // During the old 32-bit DLL's unregistration: nothing to undo.
        {"RIMKIT_MANAGER_SLOW_EXE", "RIMKIT_MANAGER_SLOW_EXE", L"Unregistering", L"x86", "",
         L"--install"},
        // The old files deleted and the new 64-bit DLL registered.
        {"RIMKIT_MANAGER_EXE", "RIMKIT_MANAGER_SLOW_EXE", L"Registering", L"x86",
         Infos("Unregistered: ", {In(newFolder, x64Name)}) + NewFilesDeleted() + OldRestored(),
         L"--uninstall"},
        // During the new 64-bit registration; a status report first, and
        // every spoilt record refused.
        {"RIMKIT_MANAGER_EXE", "RIMKIT_MANAGER_SLOW_EXE", L"Registering", L"x64",
         NewFilesDeleted() + OldRestored(), L"--install"},
        // During the rollback's registration of the old 32-bit DLL again.
        {"RIMKIT_MANAGER_SLOW_EXE", "RIMKIT_MANAGER_FAILING_X86_EXE", L"Registering", L"x86",
         Infos("Registered: ", {In(oldFolder, x86Name), In(oldFolder, x64Name)}), L"--install"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(Narrow(std::wstring(test.step) + L" " + test.bitness));
        RemoveRegistrations();
        testsupport::RemoveTree(newBase);
        ToolSandbox(oldBase, test.old).Run(L"--install");
        const ToolSandbox upgrade(L"C:\\Ops\\Upgrade", test.exe);
        const UniqueHandle stopPoint = SlowStep(test.step, test.bitness);

        const RunResult stopped =
            upgrade.Run(L"--install --path " + newBase, L"", [&](void* process, const auto&) {
                ASSERT_EQ(WaitForSingleObject(stopPoint.get(), 120 * 1000), WAIT_OBJECT_0);
                TerminateProcess(process, 1);
            });
        ASSERT_EQ(stopped.exitCode, 1u) << stopped.output;

        // Whatever regsvr32 it started ended with it: nothing registers later.
        Sleep(1000);
        EXPECT_EQ(Regsvr32Processes(), 0);
        const bool oldNamed =
            ReadDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey).has_value();
        EXPECT_TRUE(testsupport::PathExists(VexoFolder()));

        if (test.then == L"--install") {
            const std::string status32 =
                oldNamed ? "Installed at: " + Narrow(In(oldFolder, x86Name)) : "Not installed";
            const std::string status64 =
                oldNamed ? "Installed at: " + Narrow(In(oldFolder, x64Name)) : "Not installed";
            // The slow installation's DLLs are another build's.
            const std::string other =
                oldNamed && std::string(test.old) != "RIMKIT_MANAGER_EXE"
                    ? NotThisVersions({In(oldFolder, x86Name), In(oldFolder, x64Name)})
                    : "";
            EXPECT_EQ(Run(L"--status"), StatusOf(status32, status64, other + interruptedWarning));
            if (std::wstring(test.bitness) == L"x64") {
                ExpectEverySpoiltRecordRefused(
                    [&] { return Run(L"--install --path " + newBase, L"", installFailed); },
                    [&](const std::string& warning) {
                        return StatusOf(status32, status64, other + warning);
                    },
                    [&] { return Run(L"--status"); });
            }
            EXPECT_EQ(Run(L"--install --path " + newBase), UndoneThen(test.undoing, reinstall));
            ExpectInstalledIn(newFolder);
            EXPECT_EQ(SdkFilesUnderOps(), (std::vector<std::wstring>{Join(newFolder, x64Name),
                                                                     Join(newFolder, x86Name)}));
        } else {
            EXPECT_EQ(Run(L"--uninstall"), UndoneThen(test.undoing, UninstallOfBoth(oldFolder)));
            ExpectNothingRegistered();
            EXPECT_TRUE(SdkFilesUnderOps().empty());
        }
        EXPECT_FALSE(testsupport::PathExists(VexoFolder()));
    }
}

// Killed at many moments while it starts a regsvr32 (of a slow DLL, which
// would outlive it by seconds): no regsvr32 of it is left, whenever the kill
// came, and the next install puts everything right.
TEST_F(Operations, ToolKilledWhileItStartsRegsvr32LeavesNoRegsvr32Behind) {
    const ToolSandbox slow(L"C:\\Ops\\Slow", "RIMKIT_MANAGER_SLOW_EXE");
    for (int kill = 0; kill < 6; ++kill) {
        slow.Run(L"--install", L"", [kill](void* process, const auto&) {
            while (Regsvr32Processes() == 0 && WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
            }
            Sleep(kill % 4);
            TerminateProcess(process, 1);
        });
        Sleep(1000);
        EXPECT_EQ(Regsvr32Processes(), 0) << kill;
    }
    const std::string last = Run(L"--install");
    EXPECT_EQ(last.find(Error("Rollback incomplete")), std::string::npos) << last;
    ExpectInstalledIn(versionFolder);
}

// The recovery folders are the tool's only where it made them: a link on
// the way, or a folder others can change, is left as it is, and nothing is
// changed.
TEST_F(Operations, RecoveryFolderThatIsALinkIsRefusedAndWhatItLeadsToStays) {
    const std::wstring user = L"C:\\Ops\\Data\\User files";
    const struct {
        std::wstring parent, name, target;
    } links[] = {{ProgramFiles() + L"\\Vexo\\Rimkit", L"Recovery", L"../../../Ops/Data/User files"},
                 {VexoFolder(), L"Rimkit", L"../../Ops/Data/User files"}};
    for (const auto& link : links) {
        const std::wstring path = Join(link.parent, link.name);
        fs::create_directories(user);
        fs::create_directories(link.parent);
        testsupport::WriteFileBytes(user + L"\\letter.txt", "mine");
        testsupport::RunUnixTool("RIMKIT_UNIX_LN", L"-s \"" + link.target + L"\" " + link.name,
                                 link.parent,
                                 [&] { return testsupport::PathExists(path + L"\\letter.txt"); });
        const OnExit unlink([&] {
            testsupport::RunUnixTool("RIMKIT_UNIX_RM", link.name, link.parent,
                                     [&] { return !testsupport::PathExists(path); });
            testsupport::RemoveTree(VexoFolder());
        });
        const std::string refused = "The recovery folder cannot be kept: " + Narrow(path) +
                                    " is a link. Nothing was changed.";
        EXPECT_EQ(Run(L"--status"), StatusOf("Not installed", "Not installed", Warning(refused)));
        // Without a record there, and with a file of the user's under its name.
        for (const auto* run : {L"--install", L"--uninstall"}) {
            const MachineState before = Snapshot({L"C:\\Ops"});
            EXPECT_EQ(Run(run, L"", installFailed), versionLines + Error(refused) + prompt);
            EXPECT_EQ(Snapshot({L"C:\\Ops"}), before);
            testsupport::WriteFileBytes(user + L"\\rimkit_manager.recovery", "mine too");
        }
    }
}

// A vendor folder that others can change holds other programs: it keeps
// its access and files, and no record is kept below it.
TEST_F(Operations, VendorFolderThatOthersCanChangeIsLeftAsItIs) {
    const std::wstring settings = VexoFolder() + L"\\Other Program\\settings.ini";
    fs::create_directories(VexoFolder() + L"\\Other Program");
    testsupport::WriteFileBytes(settings, "theirs");
    const auto changeMode = [](const std::wstring& mode, Protection then) {
        testsupport::RunUnixTool("RIMKIT_UNIX_CHMOD", mode + L" Vexo", ProgramFiles(),
                                 [then] { return ProtectionOf(VexoFolder()) == then; });
    };
    changeMode(L"o+w", Protection::OthersCanChange);
    EXPECT_EQ(Run(L"--install", L"", installFailed),
              versionLines +
                  Error("The recovery folder cannot be kept: others than administrators can "
                        "change " +
                        Narrow(VexoFolder()) + ". Nothing was changed.") +
                  prompt);
    EXPECT_EQ(ProtectionOf(VexoFolder()), Protection::OthersCanChange);
    EXPECT_EQ(ReadFileBytes(settings), "theirs");
    EXPECT_FALSE(testsupport::PathExists(VexoFolder() + L"\\Rimkit"));
    ExpectNothingRegistered();

    changeMode(L"o-w", Protection::AdministratorsOnly);
    Run(L"--install");
    ExpectInstalledIn(versionFolder);
    EXPECT_EQ(ReadFileBytes(settings), "theirs");
    EXPECT_FALSE(testsupport::PathExists(VexoFolder() + L"\\Rimkit"));
    testsupport::RemoveTree(VexoFolder());
}

TEST_F(Operations, RecordHeldOpenForAMomentIsStillReplaced) {
    // A reader that lets nobody delete or replace the file while it reads;
    // it opens once the tool has put the record in place and let go of it.
    const RunResult run = tool.Run(L"--install", L"", [](void* process, const auto&) {
        UniqueHandle reader;
        while (!reader.valid() && WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
            reader.reset(CreateFileW(RecordPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        }
        Sleep(500);
    });
    EXPECT_EQ(run.exitCode, succeeded);
    EXPECT_EQ(run.output, versionLines + UninstallOfNothing() +
                              InstallOfBoth(NewVersionFolder(base, base), versionFolder) + prompt);
    ExpectInstalledIn(versionFolder);
}

// An earlier run's record that another program holds without sharing is
// read once it lets go; one held past the wait is not called damaged: the
// run changes nothing and ends with 1618, for a deployment system to run it
// again.
TEST_F(Operations, RecordHeldByAnotherProgramIsWaitedForOrLeftToALaterRun) {
    LeaveRecordOfNow();
    const std::string record = ReadFileBytes(RecordPath());
    for (const DWORD holding : {6000, 1500}) {
        SCOPED_TRACE(holding);
        auto holder = std::make_shared<UniqueHandle>(
            CreateFileW(RecordPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder->valid());
        std::thread letGo([holder, holding] {
            Sleep(holding);
            holder->reset();
        });
        const RunResult run = tool.Run(L"--install");
        letGo.join();
        if (holding > 3000) {
            EXPECT_EQ(run.exitCode, tryAgainLater);
            EXPECT_EQ(run.output, versionLines +
                                      RecordRefused("it cannot be read now (Windows error 32)") +
                                      prompt);
            EXPECT_EQ(ReadFileBytes(RecordPath()), record);
        } else {
            EXPECT_EQ(run.exitCode, succeeded);
            EXPECT_EQ(run.output.rfind(versionLines + undoing, 0), 0u) << run.output;
            ExpectInstalledIn(versionFolder);
        }
    }
}

// A copy the stopped run renamed aside goes with its undo.
TEST_F(Operations, UndoDeletesTheCopiesTheRunRenamedAside) {
    const std::wstring folder = L"C:\\Ops\\Data\\Aside";
    const std::wstring aside = Join(folder, x64Name + L".4242-99-0.old");
    RunChanges changes;
    changes.movedAside = {{aside, *Vexo::Platform::DigestOf(std::string("old bytes"))}};
    changes.installFolder = folder;
    LeaveRecordOfNow(changes);
    fs::create_directories(folder);
    testsupport::WriteFileBytes(aside, "old bytes");
    const std::string install = Run(L"--install");
    EXPECT_EQ(install.rfind(versionLines + undoing + Info("Deleted: " + Narrow(aside)) + undone +
                                UninstallOfNothing(),
                            0),
              0u)
        << install;
    EXPECT_FALSE(testsupport::PathExists(aside));
}

// A file the interrupted run wrote that holds other bytes now is someone
// else's since: it stays, and the undo says so.
TEST_F(Operations, UndoLeavesAFileThatNoLongerHoldsWhatTheRunWrote) {
    const std::wstring other = L"C:\\Ops\\Data\\Other\\" + x64Name;
    RunChanges changes;
    changes.written = {{other, *Vexo::Platform::DigestOf(PayloadBytes("RIMKIT_PAYLOAD_X64"))}};
    changes.installFolder = L"C:\\Ops\\Data\\Other";
    LeaveRecordOfNow(changes);
    fs::create_directories(L"C:\\Ops\\Data\\Other");
    testsupport::WriteFileBytes(other, "put here by someone else since");
    const std::string install = Run(L"--install");
    EXPECT_EQ(install.rfind(versionLines + undoing +
                                Error("Rollback incomplete: " + Narrow(other)) +
                                UninstallOfNothing(),
                            0),
              0u)
        << install;
    EXPECT_EQ(ReadFileBytes(other), "put here by someone else since");
    ExpectInstalledIn(versionFolder);
}

// The undo puts back the bytes the record noted, over whatever is there.
TEST_F(Operations, UndoPutsBackAPreviousFileThatHoldsOtherBytes) {
    Run(L"--install");
    LeaveRecordOfNow();
    const std::wstring x64 = Join(versionFolder, x64Name);
    testsupport::WriteFileBytes(x64, "other bytes, still registered");
    EXPECT_EQ(Run(L"--install"),
              UndoneThen(Infos("Restored: ", {x64}),
                         UninstallOfBoth(versionFolder) +
                             InstallOfBoth(NewVersionFolder(base, base), versionFolder)));
    ExpectInstalledIn(versionFolder);
}

// A saved copy that no longer holds the bytes noted for it is never written
// back: the undo names its file instead.
TEST_F(Operations, UndoWritesNothingBackFromACopyThatHoldsOtherBytes) {
    Run(L"--install");
    LeaveRecordOfNow();
    const std::wstring x86 = Join(versionFolder, x86Name), x64 = Join(versionFolder, x64Name);
    for (const wchar_t* copy : {L"\\previous-0.bin", L"\\previous-1.bin"}) {
        testsupport::WriteFileBytes(RecordFolder() + copy, "other bytes");
    }
    // One is gone, the other holds someone else's bytes: neither is back.
    testsupport::WriteFileBytes(x86, "someone else's");
    fs::remove(x64);
    const std::string install = Run(L"--install");
    EXPECT_EQ(install.rfind(versionLines + undoing + Error("Rollback incomplete: " + Narrow(x86)) +
                                Error("Rollback incomplete: " + Narrow(x64)) + uninstallStart,
                            0),
              0u)
        << install;
    ExpectInstalledIn(versionFolder);
}

// The install folder of a stopped run replaced by a link to someone's
// folder: the undo reaches nothing through it, not even a file there that
// holds what the run wrote.
TEST_F(Operations, UndoReachesNothingThroughALink) {
    const std::wstring linked = L"C:\\Ops\\Data\\Linked\\9_1_1";
    const std::wstring written = Join(linked, x64Name);
    const std::string payload = PayloadBytes("RIMKIT_PAYLOAD_X64");
    RunChanges changes;
    changes.createdFolders = {linked};
    changes.written = {{written, *Vexo::Platform::DigestOf(payload)}};
    changes.installFolder = linked;
    LeaveRecordOfNow(changes);
    fs::create_directories(L"C:\\Ops\\Data\\User");
    fs::create_directories(L"C:\\Ops\\Data\\Linked");
    testsupport::WriteFileBytes(L"C:\\Ops\\Data\\User\\" + x64Name, payload);
    testsupport::RunUnixTool("RIMKIT_UNIX_LN", L"-s ../User 9_1_1", L"C:\\Ops\\Data\\Linked",
                             [&] { return testsupport::PathExists(written); });
    const OnExit unlink([&] {
        testsupport::RunUnixTool("RIMKIT_UNIX_RM", L"9_1_1", L"C:\\Ops\\Data\\Linked",
                                 [&] { return !testsupport::PathExists(linked); });
    });
    const std::string install = Run(L"--install");
    EXPECT_EQ(install.rfind(versionLines + undoing +
                                Error("Rollback incomplete: " + Narrow(written)) +
                                Error("Rollback incomplete: " + Narrow(linked)) + uninstallStart,
                            0),
              0u)
        << install;
    EXPECT_EQ(ReadFileBytes(L"C:\\Ops\\Data\\User\\" + x64Name), payload);
    ExpectInstalledIn(versionFolder);
}

// A run stopped while it wrote its record, or a DLL, leaves the new file
// beside it: a later run takes it, and the folders it was in go.
TEST_F(Operations, RecordLeftHalfWrittenGoesWithTheWayBack) {
    LeaveRecordOfNow();
    testsupport::WriteFileBytes(RecordPath() + L".4242-123456-0.new", "half a record");
    Run(L"--install");
    // And a DLL a stopped write left half written beside the installed one.
    testsupport::WriteFileBytes(Join(versionFolder, x64Name) + L".4242-123457-0.new", "half");
    Run(L"--uninstall");
    EXPECT_FALSE(testsupport::PathExists(VexoFolder()));
    EXPECT_FALSE(testsupport::PathExists(versionFolder));
}

// A DLL the stopped run wrote, or found holding this version's DLL, and
// registered, swapped since for someone else's: the undo never loads it, and
// takes its registration without it.
TEST_F(Operations, UndoNeverLoadsAFileThatNoLongerHoldsWhatTheRunWrote) {
    const std::wstring folder = L"C:\\Ops\\Data\\Swapped";
    const std::wstring dll = Join(folder, x64Name);
    for (const bool written : {true, false}) {
        SCOPED_TRACE(written ? "written" : "found");
        RemoveRegistrations();
        RunChanges changes;
        if (written) {
            changes.written = {
                {dll, *Vexo::Platform::DigestOf(PayloadBytes("RIMKIT_PAYLOAD_X64"))}};
        }
        changes.registered = {dll};
        changes.installFolder = folder;
        LeaveRecordOfNow(changes);
        testsupport::RemoveTree(folder);
        fs::create_directories(folder);
        fs::copy_file(testsupport::BuildPath("RIMKIT_PLANTED_LIBRARY"), dll);
        testsupport::SetDefaultString(RegistryView::Bits64, testsupport::sdkServerBinaryKey, dll);
        const std::string install = Run(L"--install");
        EXPECT_EQ(
            install.rfind(versionLines + undoing +
                              Warning("Unregistered without running it, in a folder that "
                                      "others can change: " +
                                      Narrow(dll)) +
                              // A file the run did not write is not its to delete.
                              (written ? Error("Rollback incomplete: " + Narrow(dll)) : undone) +
                              uninstallStart,
                          0),
            0u)
            << install;
        EXPECT_FALSE(testsupport::PathExists(dll + L".ran"));
        ExpectInstalledIn(versionFolder);
    }
}

// A registration the interrupted run started that cannot be undone keeps
// its record: an uninstall that fails keeps it too, an install that
// completes ends it.
TEST_F(Operations, RegistrationThatCannotBeUndoneKeepsTheRecordUntilAnInstallCompletes) {
    const std::wstring sticky = L"C:\\Ops\\Data\\Sticky\\" + x64Name;
    RunChanges changes;
    changes.written = {{sticky, *Vexo::Platform::DigestOf(
                                    ReadFileBytes(testsupport::BuildPath("RIMKIT_STICKY_X64")))}};
    changes.handedToRegsvr32 = {sticky};
    changes.installFolder = L"C:\\Ops\\Data\\Sticky";
    LeaveRecordOfNow(changes);
    fs::create_directories(L"C:\\Ops\\Data\\Sticky");
    fs::copy_file(testsupport::BuildPath("RIMKIT_STICKY_X64"), sticky);
    testsupport::RunProgram(L"C:\\windows\\system32\\regsvr32.exe", L"/s \"" + sticky + L"\"");
    const std::string notUndone = versionLines + undoing + CannotUnregister(sticky) +
                                  NotDeletedRegistered(sticky) +
                                  Error("Rollback incomplete: " + Narrow(sticky));

    EXPECT_EQ(Run(L"--uninstall", L"", installFailed),
              notUndone + uninstallStart + Info("Found: Rimkit 32bit DLL not installed.") +
                  CannotUnregister(sticky) + uninstallEnd + prompt);
    EXPECT_TRUE(testsupport::PathExists(RecordPath()));
    const std::string install = Run(L"--install");
    EXPECT_EQ(install.rfind(notUndone + uninstallStart, 0), 0u) << install;
    EXPECT_EQ(install.find(undone), std::string::npos) << install;
    ExpectInstalledIn(versionFolder);
}

TEST_F(Operations, SuccessfulUninstallEndsAnEarlierWayBackThatCouldNotBeUndone) {
    const std::wstring gone = L"C:\\Ops\\Data\\Gone";
    Run(L"--install --path " + gone);
    LeaveRecordOfNow();
    RemoveRegistrations();
    testsupport::RemoveTree(gone);
    testsupport::WriteFileBytes(gone, "a file where the old folder was");
    const std::wstring folder = gone + L"\\9_1_1";
    EXPECT_EQ(Run(L"--uninstall"),
              versionLines + undoing +
                  Error("Rollback incomplete: " + Narrow(In(folder, x86Name))) +
                  Error("Rollback incomplete: " + Narrow(In(folder, x64Name))) +
                  UninstallOfNothing() + prompt);
}

TEST_F(Operations, PreviousFileThatCannotBeReadStopsTheRunBeforeItChangesAnything) {
    Run(L"--install");
    const std::wstring x64 = Join(versionFolder, x64Name);
    const MachineState before = Snapshot({L"C:\\Ops"});
    {
        const UniqueHandle exclusive(
            CreateFileW(x64.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(exclusive.valid());
        EXPECT_EQ(Run(L"--install", L"", installFailed),
                  versionLines + Error("Unable to read " + Narrow(x64) + ".") + prompt);
    }
    EXPECT_EQ(Snapshot({L"C:\\Ops"}), before);
}
