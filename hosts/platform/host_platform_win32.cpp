// Windows, under Wine.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "host_platform.h"

namespace host {

const char kPluginFile[] = "mount_plugin.dll";
const char kProbeFile[] = "mount_plugin_probe.dll";
const char kServerFile[] = "standin_server.exe";

std::vector<const char*> BaseLibraryFiles() {
    return {"tier0.dll"};
}

// The loader looks in this program's folder first.
Module LoadModule(const char* file) {
    return LoadLibraryA(file);
}

void UnloadModule(Module module) {
    if (module != nullptr) FreeLibrary(static_cast<HMODULE>(module));
}

void* ModuleExport(Module module, const char* name) {
    if (module == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

bool IsModuleLoaded(const char* file) {
    return GetModuleHandleA(file) != nullptr;
}

std::string LastError() {
    return "error " + std::to_string(GetLastError());
}

std::vector<std::string> ModuleExportNames(Module module) {
    std::vector<std::string> found;
    if (module == nullptr) return found;
    // The export table, read from the image as the loader reads it.
    const auto* base = static_cast<const unsigned char*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        found.emplace_back(reinterpret_cast<const char*>(base + names[i]));
    }
    // An export by ordinal only has no name.
    for (DWORD i = exports->NumberOfNames; i < exports->NumberOfFunctions; ++i) {
        found.emplace_back("(by ordinal only)");
    }
    std::sort(found.begin(), found.end());
    return found;
}

bool IsAbsolutePath(const std::string& path) {
    return (path.size() >= 2 && path[1] == ':') ||
           (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

std::string TemporaryFolder() {
    char temporary[MAX_PATH + 1] = {};
    if (GetTempPathA(sizeof(temporary), temporary) == 0) return {};
    return temporary;
}

std::string ThisProgramFolder() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string path = self;
    return path.substr(0, path.find_last_of(kPathSeparators));
}

std::string InFolder(const std::string& folder, const std::string& name) {
    return folder + "\\" + name;
}

bool MakeFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

void RemoveFolder(const std::string& path) {
    RemoveDirectoryA(path.c_str());
}

void RemoveFile(const std::string& path) {
    DeleteFileA(path.c_str());
}

bool DuplicateFile(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

std::uint32_t ProcessId() {
    return GetCurrentProcessId();
}

bool EnvironmentHas(const char* name) {
    return GetEnvironmentVariableA(name, nullptr, 0) != 0;
}

void SetEnvironment(const char* name, const char* value) {
    SetEnvironmentVariableA(name, value);
    // The C runtime keeps a copy of its own, from which _popen starts its children.
    _putenv((std::string(name) + "=" + (value != nullptr ? value : "")).c_str());
}

std::vector<std::string> ThisProgramArguments() {
    return std::vector<std::string>(__argv + std::min(__argc, 1), __argv + __argc);
}

void ExitNow(std::uint32_t code) {
    std::fflush(stdout);
    ExitProcess(code);
}

std::uint32_t RunThisProgram(const std::string& arguments, std::uint32_t whenHung) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string commandLine = std::string("\"") + self + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    if (CreateProcessA(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &child) == FALSE) {
        std::printf("  the child process did not start (%s)\n", LastError().c_str());
        return whenHung;
    }
    DWORD outcome = whenHung;
    if (WaitForSingleObject(child.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(child.hProcess, &outcome);
    } else {
        TerminateProcess(child.hProcess, outcome);
    }
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return outcome;
}

int RunCommand(const std::string& command, std::string& output) {
    FILE* pipe = _popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0;) {
        output.append(buffer, got);
    }
    return _pclose(pipe);
}

namespace {
const char* (*s_pfnCurrentStep)() = nullptr;

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    std::printf("  crashed (exception 0x%08lx at %p) in: %s\n", record.ExceptionCode,
                record.ExceptionAddress, s_pfnCurrentStep());
    ExitNow(record.ExceptionCode);
}
}  // namespace

void ReportCrashes(const char* (*current)()) {
    s_pfnCurrentStep = current;
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(ReportCrash);
}

void* HeapTake(std::uint32_t size) {
    return HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size);
}

void* HeapResize(void* block, std::uint32_t size) {
    return HeapReAlloc(GetProcessHeap(), 0, block, size == 0 ? 1 : size);
}

void HeapGive(void* block) {
    HeapFree(GetProcessHeap(), 0, block);
}

std::uint32_t HeapBlockSize(void* block) {
    return static_cast<std::uint32_t>(HeapSize(GetProcessHeap(), 0, block));
}

double Seconds() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace host
