#pragma once

// Every service of the operating system that the stand-ins, the tests of the product and the
// benchmarks use, behind one header: host_platform_win32.cpp (run under Wine) and
// host_platform_linux.cpp implement it. Nothing of the product is here.

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// ---- The files of a product build, as this system names them

extern const char kPluginFile[];  // mount_plugin.dll, mount_plugin.so
extern const char kProbeFile[];   // the test twin of the plugin that also exports internals
extern const char kServerFile[];  // the stand-in server
// The names the engine's base library has on this system, the usual one first.
std::vector<const char*> BaseLibraryFiles();

// ---- Modules: shared libraries loaded from this program's own folder

using Module = void*;

// Loads file from the folder of this program (or takes another reference when it is loaded);
// null when it cannot be loaded, LastError() tells why.
Module LoadModule(const char* file);
void UnloadModule(Module module);
// The export called name, or null.
void* ModuleExport(Module module, const char* name);
// True while file, from this program's folder, is loaded in this process.
bool IsModuleLoaded(const char* file);
// Why the last failed call failed, as the system words it.
std::string LastError();

// The names of everything module exports, in the order its table keeps them; empty when the
// table cannot be read.
std::vector<std::string> ModuleExportNames(Module module);

// GetProcAddress and dlsym hand out every export as one generic type.
template <typename Function>
Function Export(Module module, const char* name) {
    return reinterpret_cast<Function>(ModuleExport(module, name));
}

// ---- Files and folders

inline constexpr char kPathSeparators[] = "\\/";
bool IsAbsolutePath(const std::string& path);
// The system's folder for temporary files, ending in a separator; empty when there is none.
std::string TemporaryFolder();
// The folder this program's file lies in.
std::string ThisProgramFolder();
// Joins folder and name with the system's separator.
std::string InFolder(const std::string& folder, const std::string& name);
// True when the folder was made or is there already.
bool MakeFolder(const std::string& path);
void RemoveFolder(const std::string& path);
void RemoveFile(const std::string& path);
bool DuplicateFile(const std::string& from, const std::string& to);

// ---- This process and others

std::uint32_t ProcessId();
bool EnvironmentHas(const char* name);
// Sets name to value in this process's environment, which its children inherit; a null value
// removes it.
void SetEnvironment(const char* name, const char* value);
// This program's arguments after its name, also during static initialisation.
std::vector<std::string> ThisProgramArguments();
// Ends this process at once with code, without running its exit handlers.
[[noreturn]] void ExitNow(std::uint32_t code);
// Runs this program again as a child process with the given arguments (separated by spaces),
// so that a crash or a refused load stays the child's; answers its exit code, or whenHung when
// it did not end within a minute (it is then ended) or could not be started.
std::uint32_t RunThisProgram(const std::string& arguments, std::uint32_t whenHung);
// Runs command through the system's shell, its output (standard error included) read back;
// answers its exit code, or -1 when it could not be started.
int RunCommand(const std::string& command, std::string& output);
// From now on a crash of this process prints "crashed (...) in: " and what current() answers,
// and ends the process with a code that is not one of a test's outcomes.
void ReportCrashes(const char* (*current)());

// ---- The stand-in allocator's heap and the clock

void* HeapTake(std::uint32_t size);
void* HeapResize(void* block, std::uint32_t size);
void HeapGive(void* block);
std::uint32_t HeapBlockSize(void* block);
// Seconds on a steady clock.
double Seconds();

}  // namespace host
