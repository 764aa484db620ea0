// Install, uninstall and their combinations on a machine where all goes
// well: the real tool in this prefix, its log byte for byte, both registry
// views and the files on disc.
#include "e2e/OperationsFixture.h"

using namespace operations;

TEST_F(Operations, InstallUninstallAndStatusOfACleanMachine) {
    EXPECT_EQ(Run(L"--install"), versionLines + UninstallOfNothing() +
                                     InstallOfBoth(NewVersionFolder(base, base), versionFolder) +
                                     prompt);
    ExpectInstalledIn(versionFolder);
    EXPECT_EQ(Run(L"--status"), StatusOf("Installed at: " + Narrow(Join(versionFolder, x86Name)),
                                         "Installed at: " + Narrow(Join(versionFolder, x64Name))));

    // Again: the old copies go first, then the version folder is made anew.
    EXPECT_EQ(Run(L"-i"), versionLines + UninstallOfBoth(versionFolder) +
                              InstallOfBoth(NewVersionFolder(base, base), versionFolder) + prompt);
    ExpectInstalledIn(versionFolder);

    EXPECT_EQ(Run(L"--uninstall"), versionLines + UninstallOfBoth(versionFolder) + prompt);
    ExpectNothingRegistered();
    EXPECT_FALSE(testsupport::PathExists(versionFolder));
    EXPECT_TRUE(testsupport::PathExists(tool.exePath())); // nothing above the version folder
    EXPECT_EQ(Run(L"-s"), StatusOf("Not installed", "Not installed"));
}

TEST_F(Operations, InstallIntoAKnownFolderWithSpacesAndNonAsciiLetters) {
    const std::wstring typed = L"%ProgramFiles%\\Vexo Rimkit\\Prógrammé 日本";
    const std::wstring expanded = ProgramFiles() + L"\\Vexo Rimkit\\Prógrammé 日本";
    testsupport::RemoveTree(ProgramFiles() + L"\\Vexo Rimkit");
    const std::wstring target = Join(expanded, L"9_1_1");

    EXPECT_EQ(Run(L"--path \"" + typed + L"\" --install"),
              versionLines + UninstallOfNothing() +
                  InstallOfBoth(NewVersionFolder(typed, expanded), target) + prompt);
    ExpectInstalledIn(target);

    Run(L"-u");
    EXPECT_FALSE(testsupport::PathExists(target));
    EXPECT_TRUE(testsupport::PathExists(expanded)); // only the version folder goes
    ExpectNothingRegistered();
}

TEST_F(Operations, InstallRelativeToTheCurrentFolder) {
    const std::wstring work = L"C:\\Ops\\Data\\Work";
    fs::create_directories(work);
    EXPECT_EQ(Run(L"--install --path .\\", work),
              versionLines + UninstallOfNothing() +
                  InstallOfBoth(NewVersionFolder(L".\\", L".\\"), L".\\9_1_1") + prompt);
    ExpectInstalledIn(work + L"\\9_1_1");
}

TEST_F(Operations, VersionFolderHoldingAFileIsNotUsed) {
    fs::create_directories(versionFolder);
    testsupport::WriteFileBytes(versionFolder + L"\\notes.txt", "mine");
    const std::string folderLines =
        Info("Expanding: " + Narrow(base)) + Info("Expanded: " + Narrow(base)) +
        Info("Install path: " + Narrow(versionFolder)) +
        Warning("Error creating install directory or directory busy: " + Narrow(versionFolder)) +
        Info("Defaulting to install path: " + Narrow(base));

    EXPECT_EQ(Run(L"--install"),
              versionLines + UninstallOfNothing() + InstallOfBoth(folderLines, base) + prompt);
    ExpectInstalledIn(base);
    EXPECT_EQ(ReadFileBytes(versionFolder + L"\\notes.txt"), "mine");
}

TEST_F(Operations, EmptyVersionFolderIsReused) {
    fs::create_directories(versionFolder);
    const std::string folderLines =
        Info("Expanding: " + Narrow(base)) + Info("Expanded: " + Narrow(base)) +
        Info("Install path: " + Narrow(versionFolder)) +
        Info("Directory already created but empty...reusing: " + Narrow(versionFolder));

    EXPECT_EQ(Run(L"--install"), versionLines + UninstallOfNothing() +
                                     InstallOfBoth(folderLines, versionFolder) + prompt);
    ExpectInstalledIn(versionFolder);
}

TEST_F(Operations, InstallUninstallAndStatusTogetherUninstallThenInstall) {
    EXPECT_EQ(Run(L"--install --uninstall --status"),
              testsupport::lines::console + versionLines + UninstallOfNothing() +
                  InstallOfBoth(NewVersionFolder(base, base), versionFolder) + prompt);
    ExpectInstalledIn(versionFolder);
}

TEST_F(Operations, InstallIntoTheCurrentFolderOfADrive) {
    const std::wstring work = L"C:\\Ops\\Data\\Work";
    const struct {
        std::wstring typed;
        std::wstring target;
    } cases[] = {{L"C:", work + L"\\9_1_1"}, {L"C:sdk", work + L"\\sdk\\9_1_1"}};
    for (const auto& test : cases) {
        RemoveRegistrations();
        fs::create_directories(work);
        EXPECT_EQ(Run(L"--install --path " + test.typed, work),
                  versionLines + UninstallOfNothing() +
                      InstallOfBoth(NewVersionFolder(test.typed, test.typed),
                                    Join(test.typed, L"9_1_1")) +
                      prompt);
        ExpectInstalledIn(test.target);
    }
}
