#include "platform/Registry.h"

#include "core/Text.h"
#include "support/Environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>

using Vexo::RegistryEntry;
using Vexo::RegistryValue;
using namespace testsupport;

namespace {

const std::wstring testKey = L"SOFTWARE\\RimkitPlatformTest";

std::vector<std::uint8_t> Utf16Bytes(const std::wstring& text) {
    std::vector<std::uint8_t> bytes(text.size() * sizeof(wchar_t));
    std::memcpy(bytes.data(), text.data(), bytes.size());
    return bytes;
}

template <typename Number> std::vector<std::uint8_t> NumberBytes(Number number, std::size_t size) {
    std::vector<std::uint8_t> bytes(std::max(size, sizeof(number)), 0xAB);
    std::memcpy(bytes.data(), &number, sizeof(number));
    return bytes;
}

RegistryValue ReadDefault(const std::wstring& key) {
    RegistryEntry entry;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &entry.key) != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot open the test key";
    }
    return entry.ReadValue(nullptr);
}

struct StoredValue {
    const wchar_t* name;
    DWORD type;
    std::vector<std::uint8_t> bytes; // what the system may look at
    std::size_t size;                // what is stored
    RegistryValue expected;
};

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteRegistryTree(RegistryView::Bits64, testKey); }
    void TearDown() override { DeleteRegistryTree(RegistryView::Bits64, testKey); }
};

TEST_F(RegistryTest, ReadsEachStoredValueAsItsType) {
    const std::wstring path = L"C:\\Program Files\\x.dll";
    const StoredValue cases[] = {
        {L"terminated", REG_SZ, Utf16Bytes(path + L'\0'), (path.size() + 1) * 2, path + L'\0'},
        // A NUL right after the data would be counted as stored.
        {L"unterminated", REG_SZ, Utf16Bytes(L"abcd"), 6, L"abc"},
        {L"emptyString", REG_SZ, Utf16Bytes(L"a"), 0, L""},
        {L"oddSize", REG_SZ, Utf16Bytes(L"abc"), 5, L"ab"},
        {L"expandString", REG_EXPAND_SZ, Utf16Bytes(std::wstring(L"%TEMP%\0", 7)), 14, {}},
        {L"multiString", REG_MULTI_SZ, Utf16Bytes(std::wstring(L"a\0b\0\0", 5)), 10, {}},
        {L"dword", REG_DWORD, NumberBytes<std::uint32_t>(0x89ABCDEF, 4), 4, 0x89ABCDEFu},
        {L"qword", REG_QWORD, NumberBytes<std::uint64_t>(0x0123456789ABCDEF, 8), 8,
         std::uint64_t{0x0123456789ABCDEF}},
        {L"binary", REG_BINARY, {0, 1, 0xFE, 0xFF}, 4, std::vector<std::uint8_t>{0, 1, 0xFE, 0xFF}},
        {L"emptyBinary", REG_BINARY, {0}, 0, std::vector<std::uint8_t>{}},
        {L"wideDword", REG_DWORD, NumberBytes<std::uint32_t>(7, 8), 8, {}},
        {L"wideQword", REG_QWORD, NumberBytes<std::uint64_t>(7, 12), 12, {}},
    };
    for (const auto& stored : cases) {
        SCOPED_TRACE(testing::Message() << "value " << toNarrow(stored.name));
        const std::wstring key = testKey + L"\\" + stored.name;
        SetDefaultValue(RegistryView::Bits64, key, stored.type, stored.bytes.data(),
                        static_cast<std::uint32_t>(stored.size));

        EXPECT_EQ(ReadDefault(key), stored.expected);
        const auto* text = std::get_if<std::wstring>(&stored.expected);
        const auto read = ReadRegistryString(HKEY_LOCAL_MACHINE, key.c_str());
        EXPECT_EQ(read, text ? std::optional<std::wstring>(*text) : std::nullopt);
        // A read that ran past the string's end shows here first.
        EXPECT_TRUE(!read || read->c_str()[read->size()] == L'\0');
    }
}

TEST_F(RegistryTest, MissingKeysAndValuesGiveNothing) {
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (testKey + L"\\noDefault").c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &created, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(created);

    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, (testKey + L"\\noDefault").c_str()),
              std::nullopt);
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, (testKey + L"\\absent").c_str()),
              std::nullopt);
    EXPECT_EQ(ReadDefault(testKey + L"\\noDefault"), RegistryValue{});
    EXPECT_EQ(RegistryEntry().ReadValue(nullptr), RegistryValue{});
}

// A 64-bit process reads the 64-bit view; the 32-bit one only by its path.
TEST_F(RegistryTest, ReadsTheSixtyFourBitView) {
    const std::wstring wowKey = L"SOFTWARE\\WOW6432Node\\RimkitPlatformTest\\view";
    DeleteRegistryTree(RegistryView::Bits32, testKey);
    SetDefaultString(RegistryView::Bits32, testKey + L"\\view", L"x86");

    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, (testKey + L"\\view").c_str()), std::nullopt);
    EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, wowKey.c_str()), std::wstring(L"x86\0", 4));
    DeleteRegistryTree(RegistryView::Bits32, testKey);
}

// A random value: mostly short, some up to 64 KiB; odd sizes as often as even
// ones; bytes of any kind, none zero, or text with NUL characters.
std::vector<std::uint8_t> RandomData(std::mt19937& random) {
    const std::size_t limits[] = {16, 600, std::size_t{64} * 1024};
    std::vector<std::uint8_t> data(random() % (limits[random() % 3] + 1));
    const auto kind = random() % 3;
    for (auto& byte : data) {
        byte = kind == 0   ? random() % 256
               : kind == 1 ? 1 + random() % 255
                           : "a\0\0\0"[random() % 4];
    }
    return data;
}

// Every stored character of a REG_SZ comes back (an odd last byte dropped), so
// the text up to the first NUL, all that callers use, is the stored one;
// every other type gives nothing.
TEST_F(RegistryTest, RandomDefaultValuesOfEveryType) {
    const DWORD types[] = {REG_NONE,
                           REG_SZ,
                           REG_EXPAND_SZ,
                           REG_BINARY,
                           REG_DWORD,
                           REG_DWORD_BIG_ENDIAN,
                           REG_LINK,
                           REG_MULTI_SZ,
                           REG_RESOURCE_LIST,
                           REG_FULL_RESOURCE_DESCRIPTOR,
                           REG_RESOURCE_REQUIREMENTS_LIST,
                           REG_QWORD,
                           0x4D2}; // the last one has no name
    const std::wstring key = testKey + L"\\random";
    constexpr unsigned firstSeed = 5000;
    for (unsigned seed = firstSeed; seed < firstSeed + 2600; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        const DWORD type = types[seed % std::size(types)];
        const std::vector<std::uint8_t> data = RandomData(random);
        // Guard bytes around the data: the system counts a NUL character
        // right after a string as stored, and reads one before a string of
        // a single byte.
        std::vector<std::uint8_t> stored(data.size() + 4, 0xAB);
        std::copy(data.begin(), data.end(), stored.begin() + 2);
        SetDefaultValue(RegistryView::Bits64, key, type, stored.data() + 2,
                        static_cast<std::uint32_t>(data.size()));

        const auto read = ReadRegistryString(HKEY_LOCAL_MACHINE, key.c_str());
        if (type != REG_SZ) {
            EXPECT_FALSE(read.has_value()) << "type " << type;
            continue;
        }
        std::wstring text(data.size() / sizeof(wchar_t), L'\0');
        std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
        ASSERT_TRUE(read.has_value()) << "size " << data.size();
        EXPECT_TRUE(*read == text) << "size " << data.size() << ", read " << read->size();
        EXPECT_EQ(read->c_str()[read->size()], L'\0');
    }
}

// The process handle count is not reported under Wine, but a leaked handle
// pushes every later handle up the table.
std::uintptr_t NextHandleValue() {
    const auto probe = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(probe);
    return reinterpret_cast<std::uintptr_t>(probe);
}

TEST_F(RegistryTest, ManyReadsLeakNoHandle) {
    const std::wstring key = testKey + L"\\leak";
    SetDefaultString(RegistryView::Bits64, key, L"value");
    ASSERT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, key.c_str()).has_value());
    const std::uintptr_t before = NextHandleValue();

    for (int i = 0; i < 2000; ++i) {
        ReadRegistryString(HKEY_LOCAL_MACHINE, key.c_str());
        ReadDefault(key);
    }
    EXPECT_LE(NextHandleValue(), before + 64 * sizeof(HANDLE));
}

} // namespace
