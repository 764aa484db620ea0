// Install, uninstall and their combinations on a machine where all goes
// well: the real tool in this prefix, its log byte for byte, both registry
// views and the files on disc.
#include "e2e/OperationsFixture.h"

#include <sstream>
#include <utility>
#include <vector>

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

    EXPECT_EQ(Run(L"--install"), versionLines + UninstallOfNothing() +
                                     InstallOfBoth(FolderLinesDefaultingToBase(base), base) +
                                     prompt);
    ExpectInstalledIn(base);
    EXPECT_EQ(ReadFileBytes(versionFolder + L"\\notes.txt"), "mine");
}

// A version folder that holds nothing, or nothing but a copy an earlier run
// renamed aside for a restart, which it deletes.
TEST_F(Operations, EmptyVersionFolderIsReused) {
    const std::wstring aside = Join(versionFolder, x64Name + L".4242-17-0.old");
    for (const bool withCopy : {false, true}) {
        RemoveRegistrations();
        testsupport::RemoveTree(versionFolder);
        fs::create_directories(versionFolder);
        if (withCopy) {
            testsupport::WriteFileBytes(aside, "an old copy");
        }
        const std::string copyDeleted = withCopy ? Infos("Deleted: ", {aside}) : "";
        EXPECT_EQ(Run(L"--install"),
                  versionLines + UninstallOfNothing() +
                      InstallOfBoth(ReusedVersionFolder(base) + copyDeleted, versionFolder) +
                      prompt);
        ExpectInstalledIn(versionFolder);
        EXPECT_EQ(std::distance(fs::directory_iterator(versionFolder), fs::directory_iterator()),
                  2);
    }
}

// A deployment agent runs the tool inside a job that ends it with the agent
// and lets nothing break away; the tool's own job for regsvr32 nests in it.
TEST_F(Operations, RunInsideADeploymentAgentsJobInstallsAndUninstalls) {
    const RunResult install = tool.Run(L"--install", L"", {}, true);
    EXPECT_EQ(install.exitCode, succeeded);
    EXPECT_EQ(install.output, versionLines + UninstallOfNothing() +
                                  InstallOfBoth(NewVersionFolder(base, base), versionFolder) +
                                  prompt);
    ExpectInstalledIn(versionFolder);
    const RunResult uninstall = tool.Run(L"--uninstall", L"", {}, true);
    EXPECT_EQ(uninstall.exitCode, succeeded);
    EXPECT_EQ(uninstall.output, versionLines + UninstallOfBoth(versionFolder) + prompt);
    ExpectNothingRegistered();
}

// Install wins over uninstall, which wins over status; status still opens the console.
TEST_F(Operations, OperationsTogetherRunByPriority) {
    EXPECT_EQ(Run(L"--install --uninstall --status"),
              testsupport::lines::console + versionLines + UninstallOfNothing() +
                  InstallOfBoth(NewVersionFolder(base, base), versionFolder) + prompt);
    ExpectInstalledIn(versionFolder);

    EXPECT_EQ(Run(L"--status --uninstall"),
              testsupport::lines::console + versionLines + UninstallOfBoth(versionFolder) + prompt);
    ExpectNothingRegistered();
}

namespace {

// The command lines of a text (the arguments after the program name, quotes
// kept) and its detection rule.
struct DeploymentGuide {
    std::wstring install;
    std::wstring uninstall;
    std::vector<std::pair<std::wstring, std::wstring>> keysAndValues; // below HKLM
};

DeploymentGuide ParseDeploymentGuide(const std::string& text) {
    std::istringstream lines(text);
    const std::string program = "rimkit_manager.exe ";
    const std::string valuePrefix = "    (default) = ";
    DeploymentGuide guide;
    std::string key;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(program + "--install", 0) == 0) {
            guide.install = toWide(line.substr(program.size()));
        } else if (line.rfind(program + "--uninstall", 0) == 0) {
            guide.uninstall = toWide(line.substr(program.size()));
        } else if (line.rfind("HKLM\\", 0) == 0) {
            key = line.substr(5);
        } else if (line.rfind(valuePrefix, 0) == 0) {
            guide.keysAndValues.emplace_back(toWide(key), toWide(line.substr(valuePrefix.size())));
        }
    }
    return guide;
}

// The deployment section of docs/deploying.md.
DeploymentGuide ReadDeploymentGuide() {
    const std::string doc = ReadFileBytes(testsupport::BuildPath("RIMKIT_DEPLOYING_DOC"));
    const auto start = doc.find("## Deploying to many machines\n");
    return ParseDeploymentGuide(doc.substr(start, doc.find("\n## ", start + 1) - start));
}

std::wstring LogFilePath() {
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, folder);
    return std::wstring(folder) + L"rimkit_manager.log";
}

} // namespace

TEST_F(Operations, DeploymentLinesOfTheGuideMeetItsDetectionRule) {
    const DeploymentGuide guide = ReadDeploymentGuide();
    ASSERT_EQ(guide.keysAndValues.size(), 2u);
    // The README repeats the two command lines; they are the guide's.
    const DeploymentGuide readme =
        ParseDeploymentGuide(ReadFileBytes(testsupport::BuildPath("RIMKIT_README")));
    EXPECT_EQ(readme.install, guide.install);
    EXPECT_EQ(readme.uninstall, guide.uninstall);
    testsupport::RemoveTree(ProgramFiles() + L"\\Rimkit");

    // A payload whose 32-bit registration fails: rolled back, and the
    // deployment system is told so.
    const RunResult failed =
        ToolSandbox(L"C:\\Ops\\Failing", "RIMKIT_MANAGER_FAILING_X86_EXE").Run(guide.install);
    EXPECT_EQ(failed.exitCode, installFailed);
    EXPECT_NE(failed.output.find(Error("Install failed; rolling back.")), std::string::npos);
    ExpectNothingRegistered();
    EXPECT_FALSE(testsupport::PathExists(ProgramFiles() + L"\\Rimkit\\9_1_1"));

    const std::string output = Run(guide.install);
    for (const auto& [key, value] : guide.keysAndValues) {
        EXPECT_EQ(ReadDefaultString(RegistryView::Bits64, key), value);
        EXPECT_TRUE(testsupport::PathExists(value)) << Narrow(value);
        EXPECT_NE(output.find(Info("Registered: " + Narrow(value))), std::string::npos);
    }
    ExpectInstalledIn(ProgramFiles() + L"\\Rimkit\\9_1_1"); // both views, files byte for byte
    // The log file holds the run's lines from its own first line on.
    const std::string log = ReadFileBytes(LogFilePath());
    EXPECT_EQ(output, versionLines + log + prompt);

    Run(guide.uninstall);
    for (const auto& [key, value] : guide.keysAndValues) {
        EXPECT_FALSE(ReadDefaultString(RegistryView::Bits64, key));
        EXPECT_FALSE(testsupport::PathExists(value));
    }
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
