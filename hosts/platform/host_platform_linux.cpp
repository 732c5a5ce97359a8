// Linux, natively.
#include <dlfcn.h>
#include <link.h>
#include <malloc.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "host_platform.h"

namespace host {

const char kPluginFile[] = "mount_plugin.so";
const char kProbeFile[] = "mount_plugin_probe.so";
const char kServerFile[] = "standin_server";

// The engine's server builds name it either way.
std::vector<const char*> BaseLibraryFiles() {
    return {"libtier0.so", "libtier0_srv.so"};
}

namespace {
std::string s_LastError;
}  // namespace

std::string ThisProgramFolder() {
    char self[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (length <= 0) return ".";
    const std::string path(self, static_cast<std::size_t>(length));
    return path.substr(0, path.rfind('/'));
}

namespace {

std::string BesideThisProgram(const char* file) {
    return ThisProgramFolder() + "/" + file;
}

void NoteLoaderError() {
    const char* error = dlerror();
    s_LastError = error != nullptr ? error : "unknown error";
}

}  // namespace

// As an engine loads a plugin: by path, every symbol bound now, nothing added to the scope in
// which other modules look symbols up.
Module LoadModule(const char* file) {
    Module module = dlopen(BesideThisProgram(file).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) NoteLoaderError();
    return module;
}

void UnloadModule(Module module) {
    if (module != nullptr) dlclose(module);
}

void* ModuleExport(Module module, const char* name) {
    return module != nullptr ? dlsym(module, name) : nullptr;
}

bool IsModuleLoaded(const char* file) {
    Module module = dlopen(BesideThisProgram(file).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr) return false;
    dlclose(module);
    return true;
}

std::string LastError() {
    return s_LastError;
}

namespace {

// The number of entries of the dynamic symbol table, from its GNU hash table: past the last
// chain of the fullest-numbered bucket.
std::uint32_t GnuHashSymbolCount(const std::uint32_t* table) {
    const std::uint32_t buckets = table[0];
    const std::uint32_t first = table[1];
    const std::uint32_t bloomWords = table[2];
    const std::uint32_t* bucket = table + 4 + bloomWords * (sizeof(ElfW(Addr)) / 4);
    const std::uint32_t* chain = bucket + buckets;
    std::uint32_t last = 0;
    for (std::uint32_t i = 0; i < buckets; ++i) last = std::max(last, bucket[i]);
    if (last < first) return first;
    while ((chain[last - first] & 1) == 0) ++last;
    return last + 1;
}

}  // namespace

std::vector<std::string> ModuleExportNames(Module module) {
    std::vector<std::string> found;
    link_map* map = nullptr;
    if (module == nullptr || dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
        return found;
    }
    // The loader has turned the dynamic section's addresses into the loaded ones.
    const auto loaded = [map](ElfW(Addr) address) {
        return address < map->l_addr ? address + map->l_addr : address;
    };
    const ElfW(Sym)* symbols = nullptr;
    const char* names = nullptr;
    std::uint32_t count = 0;
    for (const ElfW(Dyn)* entry = map->l_ld; entry->d_tag != DT_NULL; ++entry) {
        if (entry->d_tag == DT_SYMTAB) {
            symbols = reinterpret_cast<const ElfW(Sym)*>(loaded(entry->d_un.d_ptr));
        } else if (entry->d_tag == DT_STRTAB) {
            names = reinterpret_cast<const char*>(loaded(entry->d_un.d_ptr));
        } else if (entry->d_tag == DT_HASH) {
            count = reinterpret_cast<const std::uint32_t*>(loaded(entry->d_un.d_ptr))[1];
        } else if (entry->d_tag == DT_GNU_HASH && count == 0) {
            count = GnuHashSymbolCount(
                reinterpret_cast<const std::uint32_t*>(loaded(entry->d_un.d_ptr)));
        }
    }
    if (symbols == nullptr || names == nullptr) return found;
    for (std::uint32_t i = 1; i < count; ++i) {
        const ElfW(Sym)& symbol = symbols[i];
        const unsigned binding = ELF32_ST_BIND(symbol.st_info);
        if (symbol.st_shndx == SHN_UNDEF || (binding != STB_GLOBAL && binding != STB_WEAK))
            continue;
        found.emplace_back(names + symbol.st_name);
    }
    std::sort(found.begin(), found.end());
    return found;
}

bool IsAbsolutePath(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

std::string TemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    std::string path = folder != nullptr && folder[0] != '\0' ? folder : "/tmp";
    if (path.back() != '/') path += '/';
    return path;
}

std::string InFolder(const std::string& folder, const std::string& name) {
    return folder + "/" + name;
}

bool MakeFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) return true;
    s_LastError = std::strerror(errno);
    return false;
}

void RemoveFolder(const std::string& path) {
    rmdir(path.c_str());
}

void RemoveFile(const std::string& path) {
    unlink(path.c_str());
}

bool DuplicateFile(const std::string& from, const std::string& to) {
    std::ifstream source(from, std::ios::binary);
    std::ofstream copy(to, std::ios::binary | std::ios::trunc);
    copy << source.rdbuf();
    copy.close();
    if (!source || !copy) return false;
    // Programs and libraries stay executable.
    struct stat status {};
    return stat(from.c_str(), &status) == 0 && chmod(to.c_str(), status.st_mode & 07777) == 0;
}

std::uint32_t ProcessId() {
    return static_cast<std::uint32_t>(getpid());
}

bool EnvironmentHas(const char* name) {
    return std::getenv(name) != nullptr;
}

void SetEnvironment(const char* name, const char* value) {
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
}

std::vector<std::string> ThisProgramArguments() {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    const std::string all{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::vector<std::string> arguments;
    for (std::size_t start = 0; start < all.size();) {
        const std::size_t end = std::min(all.find('\0', start), all.size());
        arguments.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    if (!arguments.empty()) arguments.erase(arguments.begin());
    return arguments;
}

void ExitNow(std::uint32_t code) {
    std::fflush(stdout);
    _exit(static_cast<int>(code));
}

std::uint32_t RunThisProgram(const std::string& arguments, std::uint32_t whenHung) {
    std::vector<std::string> words;
    std::istringstream split(arguments);
    for (std::string word; split >> word;) words.push_back(word);
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0) return whenHung;
    if (child == 0) {
        std::vector<char*> argv{const_cast<char*>("child")};
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        execv("/proc/self/exe", argv.data());
        _exit(127);
    }
    int status = 0;
    for (int waited = 0; waitpid(child, &status, WNOHANG) == 0; ++waited) {
        if (waited == 60000) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return whenHung;
        }
        const timespec pause{0, 1000000};
        nanosleep(&pause, nullptr);
    }
    if (WIFEXITED(status)) return static_cast<std::uint32_t>(WEXITSTATUS(status));
    return 128u + static_cast<std::uint32_t>(WTERMSIG(status));
}

int RunCommand(const std::string& command, std::string& output) {
    std::fflush(stdout);
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0;) {
        output.append(buffer, got);
    }
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {
const char* (*s_pfnCurrentStep)() = nullptr;

void ReportCrash(int signal, siginfo_t* information, void*) {
    // Only what may be done inside a signal handler.
    char line[512];
    const int length = std::snprintf(line, sizeof(line), "  crashed (signal %d at %p) in: %s\n",
                                     signal, information->si_addr, s_pfnCurrentStep());
    if (length > 0) {
        const ssize_t ignored = write(STDOUT_FILENO, line, static_cast<std::size_t>(length));
        static_cast<void>(ignored);
    }
    _exit(128 + signal);
}
}  // namespace

void ReportCrashes(const char* (*current)()) {
    s_pfnCurrentStep = current;
    struct sigaction action {};
    action.sa_sigaction = ReportCrash;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) {
        sigaction(signal, &action, nullptr);
    }
}

void* HeapTake(std::uint32_t size) {
    return std::malloc(size == 0 ? 1 : size);
}

void* HeapResize(void* block, std::uint32_t size) {
    return std::realloc(block, size == 0 ? 1 : size);
}

void HeapGive(void* block) {
    std::free(block);
}

std::uint32_t HeapBlockSize(void* block) {
    return static_cast<std::uint32_t>(malloc_usable_size(block));
}

double Seconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace host
