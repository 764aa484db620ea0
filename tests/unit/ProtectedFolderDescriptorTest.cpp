#include "platform/ProtectedFolderDescriptor.h"
#include "platform/SecurityDescriptor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Vexo::Platform;

TEST(ProtectedFolderDescriptor, OwnedByAdministratorsOthersMayAtMostRead) {
    const std::wstring readers = L"(A;OICI;0x1200a9;;;BU)(A;OICI;0x1200a9;;;AC)";
    for (const OthersMay others : {OthersMay::Nothing, OthersMay::Read}) {
        const std::wstring text = ProtectedFolderText(others, true);
        EXPECT_EQ(text, L"O:BA" + ProtectedFolderText(others, false));
        EXPECT_EQ(text.find(readers) != std::wstring::npos, others == OthersMay::Read);
        const auto descriptor = SecurityDescriptor::FromText(text.c_str());
        ASSERT_TRUE(descriptor.hasValue());
        EXPECT_TRUE(OnlyTrustedMayChange(descriptor.value().get(), {}, Reach::Contents));
    }
}

TEST(ProtectedFolderDescriptor, AnOwnerRefusedIsLeftToTheCreator) {
    const struct {
        std::vector<DWORD> results; // of each try, in turn: with the owner, without
        DWORD expected;
    } rows[] = {{{ERROR_SUCCESS}, ERROR_SUCCESS},
                {{ERROR_ALREADY_EXISTS}, ERROR_ALREADY_EXISTS},
                {{ERROR_INVALID_OWNER, ERROR_SUCCESS}, ERROR_SUCCESS},
                {{ERROR_INVALID_OWNER, ERROR_ALREADY_EXISTS}, ERROR_ALREADY_EXISTS}};
    for (const auto& row : rows) {
        std::vector<bool> tries;
        EXPECT_EQ(CreateOwnedOrByCreator([&](bool withOwner) {
                      tries.push_back(withOwner);
                      return row.results.at(tries.size() - 1);
                  }),
                  row.expected);
        std::vector<bool> withOwnerThenWithout{true, false};
        withOwnerThenWithout.resize(row.results.size());
        EXPECT_EQ(tries, withOwnerThenWithout);
    }
}
