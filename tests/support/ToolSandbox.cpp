#include "support/ToolSandbox.h"

#include "support/Environment.h"

#include "core/Text.h"

#include <windows.h>

#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

namespace testsupport {

namespace {

HANDLE OpenNulForReading() {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       OPEN_EXISTING, 0, nullptr);
}

// Moves what is waiting in the pipe into `output`; false once no writer is left.
bool ReadAvailable(HANDLE pipe, std::string& output) {
    char buffer[4096];
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
        if (available == 0) {
            return true;
        }
        DWORD read = 0;
        if (!ReadFile(pipe, buffer, sizeof(buffer), &read, nullptr) || read == 0) {
            return false;
        }
        output.append(buffer, read);
    }
    return false;
}

} // namespace

bool OutputSoFar::Contains(const std::string& text) const {
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_text.find(text) != std::string::npos;
}

void OutputSoFar::Append(const std::string& text) {
    const std::lock_guard<std::mutex> guard(m_lock);
    m_text += text;
}

RunResult RunProgram(const std::wstring& program, const std::wstring& arguments,
                     unsigned timeoutSeconds, const std::wstring& workingFolder,
                     const WhileRunning& meanwhile, bool inAgentJob) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        throw std::runtime_error("CreatePipe failed");
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE input = OpenNulForReading();

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;

    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back(L'\0');

    PROCESS_INFORMATION process{};
    const wchar_t* folder = workingFolder.empty() ? nullptr : workingFolder.c_str();
    const BOOL started =
        CreateProcessW(program.c_str(), mutableLine.data(), nullptr, nullptr, TRUE,
                       inAgentJob ? CREATE_SUSPENDED : 0, nullptr, folder, &startup, &process);
    CloseHandle(writeEnd);
    CloseHandle(input);
    if (!started) {
        CloseHandle(readEnd);
        throw std::runtime_error("cannot start " + toNarrow(program));
    }
    // Kill on close, no breakaway: the job a deployment agent runs it in.
    const std::shared_ptr<void> agentJob(inAgentJob ? CreateJobObjectW(nullptr, nullptr) : nullptr,
                                         [](HANDLE job) {
                                             if (job != nullptr) {
                                                 CloseHandle(job);
                                             }
                                         });
    if (inAgentJob) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!SetInformationJobObject(agentJob.get(), JobObjectExtendedLimitInformation, &limits,
                                     sizeof(limits)) ||
            !AssignProcessToJobObject(agentJob.get(), process.hProcess)) {
            TerminateProcess(process.hProcess, 1);
        }
        ResumeThread(process.hThread);
    }

    OutputSoFar soFar;
    std::thread other;
    if (meanwhile) {
        other = std::thread([&meanwhile, &process, &soFar] { meanwhile(process.hProcess, soFar); });
    }
    RunResult result;
    // Read while the program runs, so that it never blocks on a full pipe, and
    // stop when it has ended: a process it started may hold the pipe open for
    // much longer (Wine's desktop process can), but writes nothing of its own.
    const ULONGLONG deadline = GetTickCount64() + timeoutSeconds * 1000ull;
    for (;;) {
        const bool ended = WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0;
        const std::size_t before = result.output.size();
        const bool open = ReadAvailable(readEnd, result.output);
        soFar.Append(result.output.substr(before));
        if (ended) {
            break;
        }
        if (!open) {
            WaitForSingleObject(process.hProcess, 100);
        }
        if (GetTickCount64() > deadline) {
            TerminateProcess(process.hProcess, 0xDEAD);
            WaitForSingleObject(process.hProcess, INFINITE);
            ReadAvailable(readEnd, result.output);
            result.timedOut = true;
            break;
        }
    }
    if (other.joinable()) {
        other.join();
    }
    CloseHandle(readEnd);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    result.exitCode = exitCode;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

ToolSandbox::ToolSandbox(std::wstring folder, const char* exeVariable)
    : m_folder(std::move(folder)) {
    RemoveTree(m_folder);
    std::filesystem::create_directories(m_folder);
    std::filesystem::copy_file(BuildPath(exeVariable), exePath(),
                               std::filesystem::copy_options::overwrite_existing);
}

RunResult ToolSandbox::Run(const std::wstring& arguments, const std::wstring& workingFolder,
                           const WhileRunning& meanwhile, bool inAgentJob) const {
    return RunProgram(exePath(), arguments, 300, workingFolder, meanwhile, inAgentJob);
}

std::shared_ptr<void> PlantRegsvr32InSystem32() {
    static const std::wstring tool = L"C:\\windows\\system32\\regsvr32.exe";
    static const std::wstring overrides = L"HKCU\\Software\\Wine\\DllOverrides /v regsvr32.exe /f";
    static const std::wstring reg = L"C:\\windows\\system32\\reg.exe";
    if (!MoveFileW(tool.c_str(), (tool + L".real").c_str())) {
        throw std::runtime_error("cannot move regsvr32 aside");
    }
    std::shared_ptr<void> plant(nullptr, [](void*) {
        RunProgram(reg, L"delete " + overrides);
        DeleteFileW(tool.c_str());
        DeleteFileW((tool + L".ran").c_str());
        MoveFileW((tool + L".real").c_str(), tool.c_str());
    });
    if (!CopyFileW(BuildPath("RIMKIT_PLANTED_PROGRAM").c_str(), tool.c_str(), TRUE) ||
        RunProgram(reg, L"add " + overrides + L" /d native,builtin").exitCode != 0) {
        throw std::runtime_error("cannot plant regsvr32");
    }
    return plant;
}

void RemoveTree(const std::wstring& folder) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): a command line, then where it runs.
void RunUnixTool(const char* variable, const std::wstring& arguments, const std::wstring& folder,
                 const std::function<bool()>& done) {
    const std::wstring tool = BuildPath(variable);
    std::wstring line = L"\"" + tool + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (CreateProcessW(tool.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.c_str(), &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    for (int tries = 0; tries < 200 && !done(); ++tries) {
        Sleep(25);
    }
    if (!done()) {
        throw std::runtime_error("no effect of " + toNarrow(line));
    }
}

} // namespace testsupport
