// Names the tool makes beside a file (FreshName) add a suffix that may take
// a path the length rule allowed past 259 characters: they are used in the
// long form, which the system takes up to 32,767.
#include "platform/FreshFile.h"
#include "platform/WindowsPath.h"

#include <gtest/gtest.h>

#include <string>

using Vexo::Platform::LongForm;

TEST(LongForm, NamesBesideTheLongestDllPathAreReachable) {
    const std::wstring folder = L"C:\\" + std::wstring(259 - 3 - 28, L'f');
    const std::wstring dll = folder + L"\\vexo_steering_wheel_x64.dll";
    ASSERT_EQ(dll.size(), 259u);
    // The longest suffix: a process number and a tick count of all their digits.
    const std::wstring fresh = dll + L".4294967295-18446744073709551615-9.new";
    EXPECT_EQ(LongForm(fresh), L"\\\\?\\" + fresh);
    EXPECT_TRUE(Vexo::Platform::IsFreshName(LongForm(fresh).substr(folder.size() + 5),
                                            L"vexo_steering_wheel_x64.dll", L"new"));

    const struct {
        std::wstring path, longForm;
    } cases[] = {
        {L"\\\\server\\share\\a.dll", L"\\\\?\\UNC\\server\\share\\a.dll"},
        {L"\\\\?\\C:\\a.dll", L"\\\\?\\C:\\a.dll"},
        {L"\\\\.\\C:\\a.dll", L"\\\\.\\C:\\a.dll"},
        {L"a.dll", L"a.dll"},
        {L"C:a.dll", L"C:a.dll"},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(LongForm(test.path), test.longForm);
    }
}
