#include "platform/KnownFolders.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Entries = std::vector<std::pair<std::wstring, std::wstring>>;

// The folders as Wine's environment states them, found apart from the shell.
std::wstring EnvironmentFolder(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

TEST(KnownFolders, MapHoldsThePrefixFoldersInTokenOrder) {
    const KnownFolderMap map = MakeKnownFolderMap();
    const Entries expected = {{L"%ProgramData%", EnvironmentFolder(L"ProgramData")},
                              {L"%LocalAppData%", EnvironmentFolder(L"LOCALAPPDATA")},
                              {L"%ProgramFiles%", EnvironmentFolder(L"ProgramFiles")}};
    ASSERT_FALSE(expected[1].second.empty());
    EXPECT_EQ(Entries(map.begin(), map.end()), expected);
}

TEST(KnownFolders, OtherKeysFollowTheTokensByTheirText) {
    const KnownFolderMap map = {{L"%Zeta%", L"z"},
                                {L"%ProgramFiles%", L"f"},
                                {L"%Alpha%", L"a"},
                                {L"%LocalAppData%", L"l"},
                                {L"%ProgramData%", L"d"}};
    const Entries expected = {{L"%ProgramData%", L"d"},
                              {L"%LocalAppData%", L"l"},
                              {L"%ProgramFiles%", L"f"},
                              {L"%Alpha%", L"a"},
                              {L"%Zeta%", L"z"}};
    EXPECT_EQ(Entries(map.begin(), map.end()), expected);
}

TEST(KnownFolders, ExpandReplacesTokensLiterallyInMapOrder) {
    // Replacement-format characters must come out as they are.
    const KnownFolderMap literal = {{L"%ProgramData%", L"D:\\$&data"},
                                    {L"%LocalAppData%", L"L:\\$1\\$$"},
                                    {L"%ProgramFiles%", L"F:\\$`$'"}};
    // Folder texts naming tokens: later tokens still apply, the same one not again.
    const KnownFolderMap nested = {{L"%ProgramData%", L"<%ProgramData%|%LocalAppData%>"},
                                   {L"%LocalAppData%", L"[%ProgramData%]"}};
    const KnownFolderMap none;
    const struct {
        const KnownFolderMap& map;
        std::wstring path;
        std::wstring expected;
    } cases[] = {
        {literal, L"%LocalAppData%\\x.dll", L"L:\\$1\\$$\\x.dll"},
        {literal, L"%ProgramData%\\a\\%ProgramData%", L"D:\\$&data\\a\\D:\\$&data"},
        {literal, L"%ProgramFiles%%ProgramFiles%", L"F:\\$`$'F:\\$`$'"},
        {literal, L"%Temp%\\%LOCALAPPDATA%\\%programdata%",
         L"%Temp%\\%LOCALAPPDATA%\\%programdata%"},
        {literal, L"%ProgramData%ProgramData%", L"D:\\$&dataProgramData%"},
        {literal, L"", L""},
        {nested, L"%ProgramData%", L"<%ProgramData%|[%ProgramData%]>"},
        {none, L"%ProgramFiles%\\y", L"%ProgramFiles%\\y"},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(ExpandKnownFolders(test.path, test.map), test.expected);
    }
}

} // namespace
