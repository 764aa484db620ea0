// What the built files carry: the tool's subsystem, resources and manifest,
// and an import table of known system DLLs only, so that the tool and the
// stand-in DLLs run on a clean Windows without any compiler runtime, and no
// DLL planted next to them is loaded in place of a system one.
#include "support/Environment.h"

#include "core/Text.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using testsupport::BuildPath;
using testsupport::ReadFileBytes;

namespace {

// A PE file read from disc, enough to walk its headers and import table.
class PortableExecutable {
public:
    explicit PortableExecutable(const std::string& bytes) : m_bytes(bytes.begin(), bytes.end()) {
        const auto dos = at<IMAGE_DOS_HEADER>(0);
        if (dos.e_magic != IMAGE_DOS_SIGNATURE) {
            throw std::runtime_error("not a PE file");
        }
        m_ntOffset = static_cast<std::size_t>(dos.e_lfanew);
        const auto file = at<IMAGE_FILE_HEADER>(m_ntOffset + 4);
        m_optionalOffset = m_ntOffset + 4 + sizeof(IMAGE_FILE_HEADER);
        m_sectionsOffset = m_optionalOffset + file.SizeOfOptionalHeader;
        m_sectionCount = file.NumberOfSections;
    }

    bool is64Bit() const { return at<WORD>(m_optionalOffset) == IMAGE_NT_OPTIONAL_HDR64_MAGIC; }

    WORD subsystem() const {
        return is64Bit() ? at<IMAGE_OPTIONAL_HEADER64>(m_optionalOffset).Subsystem
                         : at<IMAGE_OPTIONAL_HEADER32>(m_optionalOffset).Subsystem;
    }

    std::set<std::string> importedDlls() const {
        const IMAGE_DATA_DIRECTORY imports = is64Bit()
                                                 ? at<IMAGE_OPTIONAL_HEADER64>(m_optionalOffset)
                                                       .DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT]
                                                 : at<IMAGE_OPTIONAL_HEADER32>(m_optionalOffset)
                                                       .DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        std::set<std::string> names;
        for (std::size_t offset = fileOffset(imports.VirtualAddress);; offset += 20) {
            const auto descriptor = at<IMAGE_IMPORT_DESCRIPTOR>(offset);
            if (descriptor.Name == 0) {
                break;
            }
            std::string name(&m_bytes.at(fileOffset(descriptor.Name)));
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            names.insert(name);
        }
        return names;
    }

private:
    // Copied out: the file's bytes have no alignment to rely on.
    template <typename T> T at(std::size_t offset) const {
        if (offset + sizeof(T) > m_bytes.size()) {
            throw std::runtime_error("PE file truncated");
        }
        T value;
        std::memcpy(&value, m_bytes.data() + offset, sizeof(T));
        return value;
    }

    std::size_t fileOffset(DWORD rva) const {
        for (std::size_t i = 0; i < m_sectionCount; ++i) {
            const auto section =
                at<IMAGE_SECTION_HEADER>(m_sectionsOffset + i * sizeof(IMAGE_SECTION_HEADER));
            if (rva >= section.VirtualAddress &&
                rva < section.VirtualAddress + section.Misc.VirtualSize) {
                return rva - section.VirtualAddress + section.PointerToRawData;
            }
        }
        throw std::runtime_error("address outside every section");
    }

    std::vector<char> m_bytes;
    std::size_t m_ntOffset = 0;
    std::size_t m_optionalOffset = 0;
    std::size_t m_sectionsOffset = 0;
    std::size_t m_sectionCount = 0;
};

// Known DLLs only, which Windows never takes from the program's own folder.
const std::set<std::string> systemDlls = {"kernel32.dll", "msvcrt.dll", "advapi32.dll",
                                          "shell32.dll",  "ole32.dll",  "user32.dll"};

// The tool's own resources, read without running it.
class ResourceFile {
public:
    explicit ResourceFile(const std::wstring& path)
        : m_module(LoadLibraryExW(path.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {
        if (m_module == nullptr) {
            throw std::runtime_error("cannot load the resources of " + toNarrow(path));
        }
    }
    ~ResourceFile() { FreeLibrary(m_module); }
    ResourceFile(const ResourceFile&) = delete;
    ResourceFile& operator=(const ResourceFile&) = delete;

    // The bytes of a resource stored in US English; nothing when there is none.
    std::optional<std::string> english(const wchar_t* type, const wchar_t* name) const {
        HRSRC found =
            FindResourceExW(m_module, type, name, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        if (found == nullptr) {
            return std::nullopt;
        }
        const auto* bytes = static_cast<const char*>(LockResource(LoadResource(m_module, found)));
        return std::string(bytes, SizeofResource(m_module, found));
    }

private:
    HMODULE m_module;
};

} // namespace

TEST(Executable, ImportsOnlySystemDlls) {
    for (const char* variable : {"RIMKIT_MANAGER_EXE", "RIMKIT_PAYLOAD_X64", "RIMKIT_PAYLOAD_X86",
                                 "RIMKIT_STANDIN_X64", "RIMKIT_STANDIN_X86"}) {
        SCOPED_TRACE(variable);
        const PortableExecutable file(ReadFileBytes(BuildPath(variable)));
        const auto imports = file.importedDlls();
        EXPECT_FALSE(imports.empty());
        for (const auto& name : imports) {
            EXPECT_TRUE(systemDlls.count(name) == 1) << name << " is not a system DLL";
        }
    }
}

TEST(Executable, ToolIsA64BitWindowsProgramWithoutConsole) {
    const PortableExecutable tool(ReadFileBytes(BuildPath("RIMKIT_MANAGER_EXE")));
    EXPECT_TRUE(tool.is64Bit());
    EXPECT_EQ(tool.subsystem(), IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_TRUE(PortableExecutable(ReadFileBytes(BuildPath("RIMKIT_STANDIN_X64"))).is64Bit());
    EXPECT_FALSE(PortableExecutable(ReadFileBytes(BuildPath("RIMKIT_STANDIN_X86"))).is64Bit());
}

TEST(Executable, CarriesBothDllsByteForByte) {
    const ResourceFile tool(BuildPath("RIMKIT_MANAGER_EXE"));
    EXPECT_EQ(tool.english(L"DLL", L"VEXO_STEERING_WHEEL_X64.DLL"),
              ReadFileBytes(BuildPath("RIMKIT_PAYLOAD_X64")));
    EXPECT_EQ(tool.english(L"DLL", L"VEXO_STEERING_WHEEL_X86.DLL"),
              ReadFileBytes(BuildPath("RIMKIT_PAYLOAD_X86")));

    const ResourceFile withoutX86(BuildPath("RIMKIT_MANAGER_X64_ONLY_EXE"));
    EXPECT_TRUE(withoutX86.english(L"DLL", L"VEXO_STEERING_WHEEL_X64.DLL").has_value());
    EXPECT_FALSE(withoutX86.english(L"DLL", L"VEXO_STEERING_WHEEL_X86.DLL").has_value());
}

TEST(Executable, FileVersionIs9_1_1_0) {
    const std::wstring path = BuildPath("RIMKIT_MANAGER_EXE");
    DWORD ignored = 0;
    std::vector<char> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(
        GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length));
    EXPECT_EQ(info->dwFileVersionMS, (9u << 16) | 1u);
    EXPECT_EQ(info->dwFileVersionLS, (1u << 16) | 0u);
    // The version resource itself is stored in US English as number 1.
    EXPECT_TRUE(ResourceFile(path).english(RT_VERSION, MAKEINTRESOURCEW(1)).has_value());
}

TEST(Executable, ManifestRequiresAdministratorWithoutUiAccess) {
    const auto manifest =
        ResourceFile(BuildPath("RIMKIT_MANAGER_EXE")).english(RT_MANIFEST, MAKEINTRESOURCEW(1));
    ASSERT_TRUE(manifest.has_value());
    EXPECT_THAT(*manifest, ::testing::HasSubstr("<requestedExecutionLevel "
                                                "level=\"requireAdministrator\" "
                                                "uiAccess=\"false\"/>"));
}
