// Every change an install makes is noted in its record before it is made: a
// run stopped between the two leaves a record that names the change.
#include "sdk/Install.h"

#include "core/Text.h"
#include "platform/ContentDigest.h"
#include "sdk/Registrations.h"
#include "sdk/Rollback.h"
#include "support/Environment.h"
#include "support/ToolSandbox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testsupport;

TEST(WriteAhead, EveryChangeOfAnInstallIsNotedBeforeItIsMade) {
    for (const auto view : {RegistryView::Bits64, RegistryView::Bits32}) {
        DeleteRegistryTree(view, sdkClassKey);
    }
    const std::wstring base = L"C:\\rimkit write-ahead";
    RemoveTree(base);
    RunChanges changes;
    std::size_t folders = 0;
    std::size_t written = 0;
    std::size_t handed = 0;
    std::vector<std::wstring> madeFirst;
    changes.writeAhead = [&](const RunChanges& now) -> std::optional<Vexo::Error> {
        for (; folders < now.createdFolders.size(); ++folders) {
            if (PathExists(now.createdFolders[folders].wstring())) {
                madeFirst.push_back(now.createdFolders[folders].wstring());
            }
        }
        for (; written < now.written.size(); ++written) {
            const MadeFile& file = now.written[written];
            if (Vexo::Platform::DigestOfFile(file.path) == file.digest) {
                madeFirst.push_back(file.path);
            }
        }
        for (; handed < now.handedToRegsvr32.size(); ++handed) {
            if (IsRegistered(now.handedToRegsvr32[handed])) {
                madeFirst.push_back(now.handedToRegsvr32[handed]);
            }
        }
        return std::nullopt;
    };
    PendingDeletions pending;

    ASSERT_FALSE(Install(base + L"\\New", PreviousInstallation{}, changes, pending).hasError());

    EXPECT_TRUE(changes.complete);
    EXPECT_EQ(folders, 3u); // the base, New and 9_1_1
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(handed, 2u);
    EXPECT_TRUE(madeFirst.empty()) << "made before it was noted: " << toNarrow(madeFirst.front());
    EXPECT_TRUE(UndoChanges(changes, PreviousInstallation{}, pending));
    EXPECT_FALSE(PathExists(base));
}
