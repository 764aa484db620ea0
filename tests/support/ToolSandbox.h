#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace testsupport {

struct RunResult {
    std::uint32_t exitCode = 0;
    std::string output; // standard output and standard error, byte for byte
    bool timedOut = false;
};

// What a program has written so far, while it runs.
class OutputSoFar {
public:
    bool Contains(const std::string& text) const;
    void Append(const std::string& text);

private:
    mutable std::mutex m_lock;
    std::string m_text;
};

// Runs a program with `arguments` (the command line after the program name),
// standard input on NUL and standard output and error captured.
// `workingFolder` empty: this process's current folder. `meanwhile`, when
// given, runs on a thread of its own while the program runs, with its process
// and its output so far. `inAgentJob`: the program starts inside a job that
// ends it with its last handle and lets nothing break away, as a deployment
// agent runs it.
using WhileRunning = std::function<void(void* process, const OutputSoFar& output)>;
RunResult RunProgram(const std::wstring& program, const std::wstring& arguments,
                     unsigned timeoutSeconds = 300, const std::wstring& workingFolder = L"",
                     const WhileRunning& meanwhile = {}, bool inAgentJob = false);

// A folder inside the prefix holding a copy of rimkit_manager.exe, where the
// tool runs as it would on a real machine. The folder is emptied when made.
class ToolSandbox {
public:
    explicit ToolSandbox(std::wstring folder, const char* exeVariable = "RIMKIT_MANAGER_EXE");

    const std::wstring& folder() const { return m_folder; }
    std::wstring exePath() const { return m_folder + L"\\rimkit_manager.exe"; }

    RunResult Run(const std::wstring& arguments, const std::wstring& workingFolder = L"",
                  const WhileRunning& meanwhile = {}, bool inAgentJob = false) const;

private:
    std::wstring m_folder;
};

// Puts the planted program (RIMKIT_PLANTED_PROGRAM) in the place of System32's
// regsvr32, with Wine told to prefer it to its own, until the guard ends: a
// 64-bit regsvr32 that ends with 0, registers nothing and writes its command
// line into "regsvr32.exe.ran" beside itself. Throws when it cannot.
std::shared_ptr<void> PlantRegsvr32InSystem32();

// Removes a folder and everything in it; a missing folder is fine.
void RemoveTree(const std::wstring& folder);

// Runs the Unix program that the build variable names (Wine starts one it is
// given, but gives no handle to wait on) with `arguments`, in `folder`, and
// waits up to five seconds for `done` to say it has. Throws otherwise.
void RunUnixTool(const char* variable, const std::wstring& arguments, const std::wstring& folder,
                 const std::function<bool()>& done);

} // namespace testsupport
