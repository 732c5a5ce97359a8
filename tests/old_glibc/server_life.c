/* One server life of mount_plugin.so, driven from C as the engine and the script runtime
   drive it on Linux: every object is a table pointer followed by data, every operation takes
   the object first and the caller removes the arguments. Built and run on the old
   distribution, against its own glibc. Prints what it checks; exits 0 when all held. */
#include <dlfcn.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

typedef void* (*Factory)(const char* name, int* code);
typedef int (*ScriptFunction)(void* state);

static int s_nFailures;
static void Expect(int holds, const char* what) {
    printf("%s %s\n", holds ? "ok  " : "FAIL", what);
    if (!holds) ++s_nFailures;
}

static void* Entry(void* object, int slot) {
    return (*(void***)object)[slot];
}

/* ---- The engine's objects */
struct Object {
    void* const* table;
};
static char s_Log[4096];
static void Log(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    size_t used = strlen(s_Log);
    vsnprintf(s_Log + used, sizeof(s_Log) - used, format, arguments);
    va_end(arguments);
}

static int MountApplicationContent(struct Object* self, int id) {
    (void)self;
    Log("mount %d; ", id);
    return 0;
}
static void AppendSearchPath(struct Object* self, const char* path, const char* id, int at) {
    (void)self;
    Log("path %s %s %d; ", path, id, at);
}
static void* const kFileSystemTable[] = {(void*)MountApplicationContent, (void*)AppendSearchPath};
static struct Object s_FileSystem = {kFileSystemTable};

static void* s_pVariable;
static int AllocateOwnerIdentifier(struct Object* self) {
    (void)self;
    return 1234;
}
static void RegisterCommand(struct Object* self, void* entry) {
    (void)self;
    s_pVariable = entry;
}
static void UnregisterOwner(struct Object* self, int owner) {
    (void)self;
    Log("unregister %d; ", owner);
}
static void NotifyValueChanged(struct Object* self, void* variable, const char* old, float f) {
    (void)self;
    (void)variable;
    Log("changed from %s (%g); ", old, (double)f);
}
static void* const kConsoleTable[] = {(void*)AllocateOwnerIdentifier, (void*)RegisterCommand,
                                      (void*)UnregisterOwner, (void*)NotifyValueChanged};
static struct Object s_Console = {kConsoleTable};

static void* Offer(const char* name, int* code) {
    void* offered = NULL;
    if (strcmp(name, "VFileSystem017") == 0) offered = &s_FileSystem;
    if (strcmp(name, "VEngineCvar004") == 0) offered = &s_Console;
    if (code != NULL) *code = offered != NULL ? 0 : 1;
    return offered;
}

/* ---- The script runtime's objects: host, manager and interface in one table each */
static ScriptFunction s_Mount, s_IsMounted;
static int s_nPushed = -1;
static struct Object s_Host, s_Manager, s_Script;
static void* FetchScriptState(struct Object* self) {
    (void)self;
    return (void*)0x5C417E;
}
static void* FetchModuleManager(struct Object* self) {
    (void)self;
    return &s_Manager;
}
static void* InterfaceForState(struct Object* self, void* state) {
    (void)self;
    return state == (void*)0x5C417E ? &s_Script : NULL;
}
static const char* ArgumentString(struct Object* self, int index) {
    (void)self;
    return index == 1 ? "content/other" : NULL;
}
static int ArgumentInteger(struct Object* self, int index) {
    (void)self;
    (void)index;
    return 240;
}
static void PushBoolean(struct Object* self, int value) {
    (void)self;
    s_nPushed = value;
}
static void RegisterGlobalFunction(struct Object* self, const char* name, ScriptFunction f) {
    (void)self;
    if (strcmp(name, "MountOtherGame") == 0) s_Mount = f;
    if (strcmp(name, "IsGameMounted") == 0) s_IsMounted = f;
}
static void RequireArgumentType(struct Object* self, int index, int type) {
    (void)self;
    (void)index;
    (void)type;
}
static void ReportFailure(struct Object* self, const char* text) {
    (void)self;
    Log("failure %s; ", text);
}
static void PrintMessage(struct Object* self, const char* format, ...) {
    (void)self;
    Log("message %s; ", format);
}
static void* const kHostTable[] = {(void*)FetchScriptState, (void*)FetchModuleManager};
static void* const kManagerTable[] = {(void*)InterfaceForState};
static void* const kScriptTable[] = {(void*)ArgumentString,      (void*)ArgumentInteger,
                                     (void*)PushBoolean,         (void*)RegisterGlobalFunction,
                                     (void*)RequireArgumentType, (void*)ReportFailure,
                                     (void*)PrintMessage};

int main(int argc, char** argv) {
    const char* folder = argc > 1 ? argv[1] : ".";
    char path[512];
    s_Host.table = kHostTable;
    s_Manager.table = kManagerTable;
    s_Script.table = kScriptTable;

    snprintf(path, sizeof(path), "%s/libtier0.so", folder);
    void* base = dlopen(path, RTLD_NOW | RTLD_GLOBAL);
    Expect(base != NULL, "the base library loads");
    if (base == NULL) return 1;
    int* live = dlsym(base, "g_nLive");
    const char* tag = dlsym(base, "g_szLastTag");

    snprintf(path, sizeof(path), "%s/mount_plugin.so", folder);
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) printf("     %s\n", dlerror());
    Expect(library != NULL, "mount_plugin.so loads on this glibc");
    if (library == NULL) return 1;

    Factory createInterface = (Factory)dlsym(library, "CreateInterface");
    int code = -1;
    void* plugin = createInterface("ISERVERPLUGINCALLBACKS002", &code);
    Expect(plugin != NULL && code == 0, "CreateInterface offers the plugin, return code 0");
    if (plugin == NULL) return 1;
    const char* (*describe)(void*) = (const char* (*)(void*))Entry(plugin, 4);
    Expect(strcmp(describe(plugin), "Mount Plugin") == 0, "DescribePlugin is \"Mount Plugin\"");
    unsigned char (*attach)(void*, Factory, Factory) =
        (unsigned char (*)(void*, Factory, Factory))Entry(plugin, 0);
    Expect(attach(plugin, Offer, Offer) == 1, "AttachToEngine answers true");
    Expect(s_pVariable != NULL, "the console variable is registered");
    Expect(*(void**)dlsym(library, "g_pCVar") == &s_Console, "g_pCVar holds the console");
    Expect(strcmp(tag, "mount_plugin") == 0, "allocations are tagged mount_plugin");

    int (*open)(void*) = (int (*)(void*))dlsym(library, "vesk_open");
    Expect(open(&s_Host) == 0 && s_Mount != NULL && s_IsMounted != NULL,
           "vesk_open registers MountOtherGame and IsGameMounted");
    if (s_Mount != NULL && s_IsMounted != NULL) {
        s_Log[0] = '\0';
        s_Mount((void*)0x5C417E);
        Expect(
            strcmp(s_Log,
                   "path content/other GAME 1; mount -240; message [OK] Mounted appid 240\n; ") ==
                0,
            "MountOtherGame appends the path, mounts -240, reports [OK]");
        s_IsMounted((void*)0x5C417E);
        Expect(s_nPushed == 1, "IsGameMounted(240) is true");
    }
    if (s_pVariable != NULL) {
        /* ConVar entry 11, ApplyString: slot 11 behind the two destructor entries. */
        void (*applyString)(void*, const char*) =
            (void (*)(void*, const char*))Entry(s_pVariable, 11);
        s_Log[0] = '\0';
        applyString(s_pVariable, "2.5xyz");
        Expect(strcmp(*(const char**)((char*)s_pVariable + 36), "2.5xyz") == 0 &&
                   *(float*)((char*)s_pVariable + 44) == 2.5f &&
                   *(int*)((char*)s_pVariable + 48) == 2,
               "ApplyString sets text, float and integer");
        Expect(strcmp(s_Log, "changed from 0 (0); ") == 0, "the console hears of the change");
    }
    s_Log[0] = '\0';
    ((void (*)(void*))Entry(plugin, 1))(plugin);
    Expect(strcmp(s_Log, "unregister 1234; ") == 0, "DetachFromEngine unregisters owner 1234");
    dlclose(library);
    Expect(*live == 0, "every block is back after unload");
    printf("%s\n", s_nFailures == 0 ? "all held" : "FAILED");
    return s_nFailures == 0 ? 0 : 1;
}
