#include "app/RunLock.h"

#include "core/Text.h"
#include "platform/LocalMemory.h"
#include "platform/UniqueHandle.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

// Whoever else may hold the lock can keep every run from changing anything,
// or wait for it and slip in between: only SYSTEM and Administrators may use
// it, as read back from the lock a run holds.
TEST(RunLock, OnlySystemAndAdministratorsMayUseIt) {
    const RunLock lock = AcquireRunLock();
    ASSERT_TRUE(lock.held);
    const Vexo::Platform::UniqueHandle named(OpenMutexW(READ_CONTROL, FALSE, runLockName));
    ASSERT_TRUE(named.valid()) << GetLastError();
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(named.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    const Vexo::Platform::LocalMemory<> owned(descriptor);
    ASSERT_NE(dacl, nullptr) << "no access list: everyone may use it";

    std::vector<std::string> allowed; // who each entry lets in, or what else it is
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        void* entry = nullptr;
        ASSERT_TRUE(GetAce(dacl, index, &entry));
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
            continue;
        }
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            allowed.push_back("entry of type " + std::to_string(header->AceType));
            continue;
        }
        auto* allowing = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        wchar_t* text = nullptr;
        ASSERT_TRUE(ConvertSidToStringSidW(&allowing->SidStart, &text));
        const Vexo::Platform::LocalMemory<wchar_t> sid(text);
        allowed.push_back(toNarrow(sid.get()));
    }
    EXPECT_THAT(allowed, ::testing::UnorderedElementsAre("S-1-5-18", "S-1-5-32-544"));
}
