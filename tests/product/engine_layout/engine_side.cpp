// The engine's side of the layout test, compiled the engine's way: for Microsoft's 32-bit C++
// ABI on Windows, for the Itanium C++ ABI on Linux. The tables of the objects the library
// hands out, and of the engine objects it calls, are declared here from their documented
// operation lists and data models, not taken from the library's headers: a check built by the
// library's compiler on both sides would only agree with itself. A destructor declared here
// gives the engine's entries under either ABI (one on Windows, two on Linux). Every call into
// the library goes through CallMeasured (engine_call.h), which enters it with the stack
// pointer at a chosen residue mod 16 and measures the bytes the callee pops.
#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#include "engine_call.h"
#include "engine_layout.h"

namespace {

// Plain functions and pointers to them are cdecl under both ABIs.
using InterfaceFactory = void* (*)(const char* version, int* returnCode);

// ---- What the library hands out

// The plugin's primary table: eighteen operations; the arguments are counted words.
class IServerPluginCallbacks {
public:
    virtual bool AttachToEngine(InterfaceFactory interfaceFactory,
                                InterfaceFactory gameServerFactory) = 0;
    virtual void DetachFromEngine() = 0;
    virtual void Operation3() = 0;
    virtual void Operation4() = 0;
    virtual const char* DescribePlugin() = 0;
    virtual void Operation6(uint32_t) = 0;
    virtual void Operation7(uint32_t, uint32_t, uint32_t) = 0;
    virtual void Operation8(uint32_t) = 0;
    virtual void Operation9() = 0;
    virtual void Operation10(uint32_t) = 0;
    virtual void Operation11(uint32_t) = 0;
    virtual void Operation12(uint32_t, uint32_t) = 0;
    virtual void Operation13(uint32_t) = 0;
    virtual void Operation14(uint32_t) = 0;
    virtual int Operation15(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) = 0;
    virtual int Operation16(uint32_t, uint32_t) = 0;
    virtual int Operation17(uint32_t, uint32_t) = 0;
    virtual void Operation18(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) = 0;
};

class IGameEventListener {
public:
    virtual ~IGameEventListener() = default;
    virtual void HandleGameEvent(void* event) = 0;
};

class PluginObject : public IServerPluginCallbacks, public IGameEventListener {};

class ConCommandBase {
public:
    virtual ~ConCommandBase() = default;
    virtual bool IsCommandEntry() const = 0;
    virtual bool HasAnyFlag(int mask) const = 0;
    virtual void SetFlagBits(int mask) = 0;
    virtual const char* Name() const = 0;
    virtual const char* Description() const = 0;
    virtual bool IsAttached() const = 0;
    virtual int ModuleId() const = 0;
    virtual void SetUpEntry(const char* name, const char* description, int flags) = 0;
    virtual void Publish() = 0;

    ConCommandBase* m_pLink;
    bool m_bAttached;
    const char* m_pszEntryName;
    const char* m_pszDescription;
    int m_nFlagBits;
};

class IConVar {
public:
    virtual void AssignInt(int value) = 0;
    virtual void AssignFloat(float value) = 0;
    virtual void AssignString(const char* text) = 0;
    virtual const char* Name() const = 0;
    virtual bool HasAnyFlag(int mask) const = 0;
};

using VariableChangedFn = void (*)(IConVar* variable, const char* oldText, float oldFloat);

class ConVar : public ConCommandBase, public IConVar {
public:
    virtual void ApplyString(const char* text) = 0;
    virtual void ApplyFloat(float value) = 0;
    virtual void ApplyInt(int value) = 0;
    virtual bool ClampToBounds(float& value) = 0;
    virtual void ReplaceString(const char* newText, float oldFloat) = 0;
    virtual void SetUpVariable(const char* name, const char* defaultText, int flags,
                               const char* description, bool hasLowerBound, float lowerBound,
                               bool hasUpperBound, float upperBound,
                               VariableChangedFn onChange) = 0;

    ConVar* m_pPrimary;
    const char* m_pszDefaultText;
    char* m_pszValueText;
    int m_nTextCapacity;
    float m_flAsFloat;
    int m_nAsInt;
    bool m_bHasLowerBound;
    float m_flLowerBound;
    bool m_bHasUpperBound;
    float m_flUpperBound;
    VariableChangedFn m_pfnOnChange;
};

// The offsets the engine reads; IConVar's table pointer sits between the two groups, at 24.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(ConCommandBase, m_pLink) == 4 &&
              offsetof(ConCommandBase, m_bAttached) == 8 &&
              offsetof(ConCommandBase, m_pszEntryName) == 12 &&
              offsetof(ConCommandBase, m_pszDescription) == 16 &&
              offsetof(ConCommandBase, m_nFlagBits) == 20 && sizeof(ConCommandBase) == 24);
static_assert(offsetof(ConVar, m_pPrimary) == 28 && offsetof(ConVar, m_pszDefaultText) == 32 &&
              offsetof(ConVar, m_pszValueText) == 36 && offsetof(ConVar, m_nTextCapacity) == 40 &&
              offsetof(ConVar, m_flAsFloat) == 44 && offsetof(ConVar, m_nAsInt) == 48 &&
              offsetof(ConVar, m_bHasLowerBound) == 52 && offsetof(ConVar, m_flLowerBound) == 56 &&
              offsetof(ConVar, m_bHasUpperBound) == 60 && offsetof(ConVar, m_flUpperBound) == 64 &&
              offsetof(ConVar, m_pfnOnChange) == 68 && sizeof(ConVar) == 72);
#pragma GCC diagnostic pop

// ---- What the library calls

class FileSystemInterface {
public:
    virtual int MountApplicationContent(int id) = 0;
    virtual void AppendSearchPath(const char* path, const char* pathIdentifier, int position) = 0;
};

class ConsoleVariableInterface {
public:
    virtual int AllocateOwnerIdentifier() = 0;
    virtual void RegisterCommand(ConCommandBase* command) = 0;
    virtual void UnregisterOwner(int identifier) = 0;
    virtual void NotifyValueChanged(ConVar* variable, const char* oldText, float oldFloat) = 0;
};

using ScriptState = void*;
using ScriptFunction = int (*)(ScriptState state);

class ScriptInterface {
public:
    virtual const char* ArgumentString(int index) = 0;
    virtual int ArgumentInteger(int index) = 0;
    virtual void PushBoolean(int value) = 0;
    virtual void RegisterGlobalFunction(const char* name, ScriptFunction function) = 0;
    virtual void RequireArgumentType(int index, int typeCode) = 0;
    virtual void ReportFailure(const char* text) = 0;
    virtual void PrintMessage(const char* format, ...) = 0;
};

class ScriptModuleManager {
public:
    virtual ScriptInterface* InterfaceForState(ScriptState state) = 0;
};

class ScriptHostInterface {
public:
    virtual ScriptState FetchScriptState() = 0;
    virtual ScriptModuleManager* FetchModuleManager() = 0;
};

// ---- Reporting

constexpr int kIdentifier = 1234;
// The one script state of the runtime.
ScriptState TheState() {
    return reinterpret_cast<ScriptState>(0x5C417E);
}

const EngineLayoutModule* s_pModule = nullptr;
int32_t s_nResidue = 12;
int32_t s_nFailures = 0;
const char* s_pszStep = "loading mount_plugin.dll";
// The registered variable, once the console has been given it.
ConVar* s_pVariable = nullptr;

__attribute__((format(printf, 3, 4))) void Format(char* buffer, size_t size, const char* format,
                                                  ...) {
    va_list arguments;
    va_start(arguments, format);
    FormatArguments(buffer, size, format, arguments);
    va_end(arguments);
}

__attribute__((format(printf, 1, 2))) void Fail(const char* format, ...) {
    char what[768];
    va_list arguments;
    va_start(arguments, format);
    FormatArguments(what, sizeof(what), format, arguments);
    va_end(arguments);
    char message[1024];
    Format(message, sizeof(message), "%s: %s", s_pszStep, what);
    EngineLayout_Fail(message);
    ++s_nFailures;
}

bool Same(const char* left, const char* right) {
    while (*left != '\0' && *left == *right) {
        ++left;
        ++right;
    }
    return *left == *right;
}

// Text handed over by the library, or a marker when the pointer does not lead to printable text.
const char* Readable(const char* text) {
    if (text == nullptr) return "(null)";
    if (!CanRead(text, 256)) return "(unreadable)";
    for (const char* c = text; *c != '\0'; ++c) {
        if ((*c < ' ' && *c != '\n') || *c == '\x7f') return "(not text)";
    }
    return text;
}

bool Expect(bool holds, const char* what) {
    if (!holds) Fail("%s", what);
    return holds;
}

void ExpectInt(int64_t got, int64_t expected, const char* what) {
    if (got != expected) {
        Fail("%s: got %lld, expected %lld", what, static_cast<long long>(got),
             static_cast<long long>(expected));
    }
}

void ExpectFloat(float got, float expected, const char* what) {
    if (got != expected) {
        Fail("%s: got %g, expected %g", what, static_cast<double>(got),
             static_cast<double>(expected));
    }
}

// A bool result is the low byte of eax; the rest of the register is undefined.
void ExpectBool(uint32_t result, bool expected, const char* what) {
    ExpectInt(result & 0xFF, expected ? 1 : 0, what);
}

void ExpectAddress(const void* got, const void* expected, const char* what) {
    if (got != expected) Fail("%s: got %p, expected %p", what, got, expected);
}

void ExpectText(const char* got, const char* expected, const char* what) {
    if (!Same(Readable(got), expected)) {
        Fail("%s: got \"%s\", expected \"%s\"", what, Readable(got), expected);
    }
}

int32_t Byte(const bool& field) {
    uint8_t value;
    __builtin_memcpy(&value, &field, 1);
    return value;
}

// What the engine's objects were asked since the last ExpectLog, one call after another.
char s_Log[2048];
size_t s_nLogLength = 0;

const char* Describe(const void* pointer) {
    if (pointer == nullptr) return "null";
    if (s_pVariable == nullptr) return "an unknown object";
    if (pointer == s_pVariable) return "variable";
    if (pointer == static_cast<IConVar*>(s_pVariable)) return "its IConVar part";
    return "an unknown object";
}

__attribute__((format(printf, 1, 2))) void Log(const char* format, ...) {
    if (s_nLogLength != 0) Format(s_Log + s_nLogLength, sizeof(s_Log) - s_nLogLength, "; ");
    s_nLogLength += __builtin_strlen(s_Log + s_nLogLength);
    va_list arguments;
    va_start(arguments, format);
    FormatArguments(s_Log + s_nLogLength, sizeof(s_Log) - s_nLogLength, format, arguments);
    va_end(arguments);
    s_nLogLength += __builtin_strlen(s_Log + s_nLogLength);
}

void ExpectLog(const char* expected) {
    if (!Same(s_Log, expected)) Fail("the engine saw: [%s], expected: [%s]", s_Log, expected);
    s_nLogLength = 0;
    s_Log[0] = '\0';
}

// ---- The engine's objects

class Console final : public ConsoleVariableInterface {
public:
    int AllocateOwnerIdentifier() override {
        Log("AllocateOwnerIdentifier");
        return kIdentifier;
    }
    void RegisterCommand(ConCommandBase* command) override {
        if (s_pVariable == nullptr) s_pVariable = static_cast<ConVar*>(command);
        Log("RegisterCommand(%s)", Describe(command));
    }
    void UnregisterOwner(int identifier) override { Log("UnregisterOwner(%d)", identifier); }
    void NotifyValueChanged(ConVar* variable, const char* oldText, float oldFloat) override {
        Log("NotifyValueChanged(%s, \"%s\", %g) seeing \"%s\"", Describe(variable),
            Readable(oldText), static_cast<double>(oldFloat),
            variable != nullptr ? Readable(variable->m_pszValueText) : "");
    }
};

class FileSystem final : public FileSystemInterface {
public:
    int MountApplicationContent(int id) override {
        Log("MountApplicationContent(%d)", id);
        return 0;
    }
    void AppendSearchPath(const char* path, const char* pathIdentifier, int position) override {
        Log("AppendSearchPath(\"%s\", \"%s\", %d)", Readable(path), Readable(pathIdentifier),
            position);
    }
};

class Runtime final : public ScriptHostInterface,
                      public ScriptModuleManager,
                      public ScriptInterface {
public:
    ScriptState FetchScriptState() override {
        Log("FetchScriptState");
        return TheState();
    }
    ScriptModuleManager* FetchModuleManager() override {
        Log("FetchModuleManager");
        return this;
    }
    ScriptInterface* InterfaceForState(ScriptState state) override {
        Log("InterfaceForState(%s)", state == TheState() ? "state" : "another state");
        return this;
    }
    const char* ArgumentString(int index) override {
        Log("ArgumentString(%d)", index);
        return "layout/content";
    }
    int ArgumentInteger(int index) override {
        Log("ArgumentInteger(%d)", index);
        return number;
    }
    void PushBoolean(int value) override { Log("PushBoolean(%d)", value); }
    void RegisterGlobalFunction(const char* name, ScriptFunction function) override {
        Log("RegisterGlobalFunction(\"%s\")", Readable(name));
        if (Same(Readable(name), "MountOtherGame")) mountOtherGame = function;
        if (Same(Readable(name), "IsGameMounted")) isGameMounted = function;
    }
    void RequireArgumentType(int index, int typeCode) override {
        Log("RequireArgumentType(%d, %d)", index, typeCode);
    }
    void ReportFailure(const char* text) override { Log("ReportFailure(\"%s\")", Readable(text)); }
    void PrintMessage(const char* format, ...) override {
        Log("PrintMessage(\"%s\")", Readable(format));
    }

    int number = 0;
    ScriptFunction mountOtherGame = nullptr;
    ScriptFunction isGameMounted = nullptr;
};

struct Engine {
    Console console;
    FileSystem fileSystem;
    Runtime runtime;
    int engineServer = 0;
};
Engine* s_pEngine = nullptr;

void* EngineFactory(const char* version, int* returnCode) {
    void* offered = nullptr;
    if (Same(version, "VEngineCvar004")) {
        offered = static_cast<ConsoleVariableInterface*>(&s_pEngine->console);
    } else if (Same(version, "VFileSystem017")) {
        offered = static_cast<FileSystemInterface*>(&s_pEngine->fileSystem);
    } else if (Same(version, "VEngineServer021")) {
        offered = &s_pEngine->engineServer;
    }
    if (offered != nullptr) Log("factory(%s)", version);
    if (returnCode != nullptr) *returnCode = offered != nullptr ? 0 : 1;
    return offered;
}

void OnChange(IConVar* variable, const char* oldText, float oldFloat) {
    Log("callback(%s, \"%s\", %g)", Describe(variable), Readable(oldText),
        static_cast<double>(oldFloat));
}

// ---- Calls into the library

// Every argument is one 32-bit word: pointers, integers, floats (their bits), bools.
template <typename Value>
uint32_t Word(Value value) {
    static_assert(sizeof(value) == sizeof(uint32_t));
    return __builtin_bit_cast(uint32_t, value);
}

template <typename Result = const void*>
Result As(uint32_t word) {
    return reinterpret_cast<Result>(static_cast<uintptr_t>(word));
}

// The class that declares a member.
template <typename Member>
struct DeclaringClassOf;
template <typename Class, typename Type>
struct DeclaringClassOf<Type Class::*> {
    using type = Class;
};
template <typename Member>
using DeclaringClass = typename DeclaringClassOf<Member>::type;

// The code a pointer to a virtual member leads to, called on object seen as the class that
// declares the member.
template <typename Object, typename Member>
const void* Entry(Object* object, Member member) {
    const auto* self = static_cast<const DeclaringClass<Member>*>(object);
    const void* code = VirtualEntry(self, &member, sizeof(member));
    if (code == nullptr) Fail("no code for the member: a null table slot, or not a virtual member");
    return code;
}

uint32_t Measure(const char* step, void* self, const void* code, const uint32_t* words,
                 int32_t count, int32_t expectedPopped) {
    s_pszStep = step;
    int32_t popped = -1;
    const uint32_t result = CallMeasured(code, self, words, count, s_nResidue, &popped);
    if (popped != expectedPopped) {
        Fail("popped %d bytes of arguments, expected %d (%d words)", popped, expectedPopped,
             expectedPopped / 4);
    }
    return result;
}

// A member entry, called on object seen as the class that declares it. Microsoft's callee
// pops every argument word (thiscall); under the Itanium ABI the caller does.
template <typename Object, typename Member, typename... Arguments>
uint32_t CallEntry(const char* step, Object* object, Member member, Arguments... arguments) {
    auto* self = static_cast<DeclaringClass<Member>*>(object);
    s_pszStep = step;
    const void* code = Entry(self, member);
    if (code == nullptr) return 0;
    const uint32_t words[] = {Word(arguments)..., 0};
    constexpr auto kCount = static_cast<int32_t>(sizeof...(arguments));
    return Measure(step, self, code, words, kCount, BytesPoppedByMember(kCount));
}

// Entry 1 of a table that starts with the engine's destructor, as the ABI lays it out.
char s_StepText[128];
uint32_t CallDestructor(const char* table, void* object, DestructorCall call) {
    Format(s_StepText, sizeof(s_StepText), "%s entry 1 (%s)", table, call.what);
    return Measure(s_StepText, object, call.code, &call.flags, call.count,
                   BytesPoppedByMember(call.count));
}

// A plain (cdecl) function: the caller pops.
template <typename... Arguments>
uint32_t CallFunction(const char* step, const void* code, Arguments... arguments) {
    const uint32_t words[] = {Word(arguments)..., 0};
    return Measure(step, nullptr, code, words, static_cast<int32_t>(sizeof...(arguments)), 0);
}

PluginObject* CreatePlugin() {
    int code = -1;
    auto* plugin = As<PluginObject*>(CallFunction("CreateInterface", s_pModule->createInterface,
                                                  "ISERVERPLUGINCALLBACKS002", &code));
    Expect(plugin != nullptr && code == 0, "the plugin object, with return code 0");
    return plugin;
}

// Attaches the plugin; the variable it registered, or null.
ConVar* Attach(PluginObject* plugin) {
    const uint32_t attached =
        CallEntry("plugin entry 1 (AttachToEngine)", plugin,
                  &IServerPluginCallbacks::AttachToEngine, &EngineFactory, &EngineFactory);
    ExpectBool(attached, true, "result");
    ExpectLog(
        "factory(VEngineCvar004); factory(VFileSystem017); factory(VEngineServer021); "
        "factory(VFileSystem017); AllocateOwnerIdentifier; RegisterCommand(variable)");
    Expect(s_pVariable != nullptr, "a variable registered with the console");
    return s_pVariable;
}

void Detach(PluginObject* plugin) {
    CallEntry("plugin entry 2 (DetachFromEngine)", plugin,
              &IServerPluginCallbacks::DetachFromEngine);
    ExpectLog("UnregisterOwner(1234)");
}

void ExpectValue(const ConVar* variable, const char* text, float asFloat, int asInt) {
    ExpectText(variable->m_pszValueText, text, "value text at 36");
    ExpectFloat(variable->m_flAsFloat, asFloat, "float at 44");
    ExpectInt(variable->m_nAsInt, asInt, "integer at 48");
}

// ---- The groups

void PluginOperations() {
    PluginObject* plugin = CreatePlugin();
    if (plugin == nullptr) return;
    Expect(*s_pModule->exportedGCVar == nullptr && *s_pModule->exportedCvar == nullptr,
           "g_pCVar and cvar null before attach");
    Attach(plugin);
    Expect(*s_pModule->exportedGCVar == &s_pEngine->console &&
               *s_pModule->exportedCvar == &s_pEngine->console,
           "g_pCVar and cvar hold the engine's console");
    struct Operation {
        const char* step;
        const void* code;
        int32_t words;
        bool returnsZero;
    };
    using Plugin = IServerPluginCallbacks;
    const Operation quiet[] = {
        {"plugin entry 3", Entry(plugin, &Plugin::Operation3), 0, false},
        {"plugin entry 4", Entry(plugin, &Plugin::Operation4), 0, false},
        {"plugin entry 6", Entry(plugin, &Plugin::Operation6), 1, false},
        {"plugin entry 7", Entry(plugin, &Plugin::Operation7), 3, false},
        {"plugin entry 8", Entry(plugin, &Plugin::Operation8), 1, false},
        {"plugin entry 9", Entry(plugin, &Plugin::Operation9), 0, false},
        {"plugin entry 10", Entry(plugin, &Plugin::Operation10), 1, false},
        {"plugin entry 11", Entry(plugin, &Plugin::Operation11), 1, false},
        {"plugin entry 12", Entry(plugin, &Plugin::Operation12), 2, false},
        {"plugin entry 13", Entry(plugin, &Plugin::Operation13), 1, false},
        {"plugin entry 14", Entry(plugin, &Plugin::Operation14), 1, false},
        {"plugin entry 15", Entry(plugin, &Plugin::Operation15), 6, true},
        {"plugin entry 16", Entry(plugin, &Plugin::Operation16), 2, true},
        {"plugin entry 17", Entry(plugin, &Plugin::Operation17), 2, true},
        {"plugin entry 18", Entry(plugin, &Plugin::Operation18), 5, false},
    };
    const uint32_t arguments[] = {0x11111111, 0x22222222, 0x33333333,
                                  0x44444444, 0x55555555, 0x66666666};
    for (const Operation& operation : quiet) {
        const uint32_t result = Measure(operation.step, plugin, operation.code, arguments,
                                        operation.words, BytesPoppedByMember(operation.words));
        if (operation.returnsZero) ExpectInt(result, 0, "result");
        ExpectLog("");
    }
    ExpectText(As<const char*>(
                   CallEntry("plugin entry 5 (DescribePlugin)", plugin, &Plugin::DescribePlugin)),
               "Mount Plugin", "result");
    Detach(plugin);
    Expect(*s_pModule->exportedGCVar == nullptr && *s_pModule->exportedCvar == nullptr,
           "g_pCVar and cvar null again");
    // The pending list was handed over: a second attach takes a new identifier, nothing more.
    CallEntry("plugin entry 1 (AttachToEngine), again", plugin, &Plugin::AttachToEngine,
              &EngineFactory, &EngineFactory);
    ExpectLog(
        "factory(VEngineCvar004); factory(VFileSystem017); factory(VEngineServer021); "
        "factory(VFileSystem017); AllocateOwnerIdentifier");
    Detach(plugin);
}

void EventListener() {
    PluginObject* plugin = CreatePlugin();
    if (plugin == nullptr) return;
    IGameEventListener* listener = plugin;
    const int32_t releases = EngineLayout_AllocatorReleases();
    int event = 0;
    CallEntry("event listener entry 2 (event notification)", listener,
              &IGameEventListener::HandleGameEvent, &event);
    ExpectInt(EngineLayout_AllocatorReleases() - releases, 0, "blocks released");
    ExpectText(As<const char*>(CallEntry("plugin entry 5 (DescribePlugin), after the event", plugin,
                                         &IServerPluginCallbacks::DescribePlugin)),
               "Mount Plugin", "result");
    // Destroyed, not freed: the plugin object is static anyway.
    const DestructorCall destroy = InPlaceDestructor(listener);
    const uint32_t result = CallDestructor("event listener", listener, destroy);
    if (destroy.returnsAddress) {
        ExpectAddress(As(result), plugin, "returned address (the whole plugin object)");
    }
    ExpectInt(EngineLayout_AllocatorReleases() - releases, 0, "blocks released");
}

void CommandBase() {
    PluginObject* plugin = CreatePlugin();
    if (plugin == nullptr) return;
    ConVar* variable = Attach(plugin);
    if (variable == nullptr) return;
    ConCommandBase* entry = variable;
    s_pszStep = "the registered variable's ConCommandBase fields";
    ExpectAddress(entry->m_pLink, nullptr, "pending-list link at 4 (the only entry)");
    ExpectInt(Byte(entry->m_bAttached), 0, "attached marker at 8");
    ExpectText(entry->m_pszEntryName, "", "name at 12");
    ExpectText(entry->m_pszDescription, "", "description at 16");
    ExpectInt(entry->m_nFlagBits, 0, "flag word at 20");

    using Base = ConCommandBase;
    ExpectBool(CallEntry("ConCommandBase entry 3 (HasAnyFlag)", entry, &Base::HasAnyFlag, -1),
               false, "result (the blank variable reports no flag)");
    CallEntry("ConCommandBase entry 4 (SetFlagBits)", entry, &Base::SetFlagBits, 0x100);
    ExpectInt(entry->m_nFlagBits, 0x100, "flag word at 20");
    ExpectText(As<const char*>(CallEntry("ConCommandBase entry 5 (Name)", entry, &Base::Name)), "",
               "result");
    const uint32_t description =
        CallEntry("ConCommandBase entry 6 (Description)", entry, &Base::Description);
    ExpectAddress(As(description), entry->m_pszDescription, "result (the description at 16)");
    ExpectBool(CallEntry("ConCommandBase entry 7 (IsAttached)", entry, &Base::IsAttached), false,
               "result");
    ExpectInt(CallEntry("ConCommandBase entry 8 (ModuleId)", entry, &Base::ModuleId), kIdentifier,
              "result");
    // Set up again while the accessor is in force: published to the console at once.
    CallEntry("ConCommandBase entry 9 (SetUpEntry)", entry, &Base::SetUpEntry, "layout-name",
              "layout-description", 0x200);
    ExpectText(entry->m_pszEntryName, "layout-name", "name at 12");
    ExpectText(entry->m_pszDescription, "layout-description", "description at 16");
    ExpectInt(entry->m_nFlagBits, 0x200, "flag word at 20");
    ExpectLog("RegisterCommand(variable)");
    CallEntry("ConCommandBase entry 10 (Publish)", entry, &Base::Publish);
    ExpectLog("RegisterCommand(variable)");
    int32_t releases = EngineLayout_AllocatorReleases();
    ExpectBool(CallEntry("ConCommandBase entry 2 (IsCommandEntry)", entry, &Base::IsCommandEntry),
               false, "result (a variable)");
    ExpectInt(EngineLayout_AllocatorReleases() - releases, 0, "blocks released");
    ExpectText(variable->m_pszValueText, "0", "value text at 36");
    Detach(plugin);

    // Destroyed in place: the value text is freed, the (static) object is not.
    releases = EngineLayout_AllocatorReleases();
    const DestructorCall destroy = InPlaceDestructor(entry);
    const uint32_t result = CallDestructor("ConCommandBase", entry, destroy);
    if (destroy.returnsAddress) ExpectAddress(As(result), variable, "returned address");
    ExpectAddress(variable->m_pszValueText, nullptr, "value text at 36 after destruction");
    ExpectInt(EngineLayout_AllocatorReleases() - releases, 1,
              "blocks released (the value text only)");
}

void Variable() {
    PluginObject* plugin = CreatePlugin();
    if (plugin == nullptr) return;
    ConVar* variable = Attach(plugin);
    if (variable == nullptr) return;
    s_pszStep = "the registered variable's ConVar fields";
    ExpectAddress(variable->m_pPrimary, variable, "primary variable at 28");
    ExpectText(variable->m_pszDefaultText, "0", "default text at 32");
    ExpectValue(variable, "0", 0.0f, 0);
    ExpectInt(variable->m_nTextCapacity, 2, "text capacity at 40");
    ExpectInt(Byte(variable->m_bHasLowerBound) + Byte(variable->m_bHasUpperBound), 0,
              "bound markers at 52 and 60");
    ExpectAddress(reinterpret_cast<const void*>(variable->m_pfnOnChange), nullptr,
                  "change callback at 68");

    CallEntry("ConVar entry 11 (ApplyString)", variable, &ConVar::ApplyString, "2.5xyz");
    ExpectValue(variable, "2.5xyz", 2.5f, 2);
    ExpectLog("NotifyValueChanged(variable, \"0\", 0) seeing \"2.5xyz\"");
    CallEntry("ConVar entry 13 (ApplyInt)", variable, &ConVar::ApplyInt, 7);
    ExpectValue(variable, "7", 7.0f, 7);
    ExpectLog("NotifyValueChanged(variable, \"2.5xyz\", 2.5) seeing \"7\"");

    // A bool is its low byte: the words below carry other bits above it, as a caller may leave.
    const char* const defaultText = "5";
    CallEntry("ConVar entry 16 (SetUpVariable)", variable, &ConVar::SetUpVariable,
              "layout-variable", defaultText, 0x200, "described", 0xFFFFFF00u, -1.0f, 0x5A5A5A01u,
              3.0f, &OnChange);
    ExpectLog("RegisterCommand(variable)");
    ExpectText(variable->m_pszEntryName, "layout-variable", "name at 12");
    ExpectText(variable->m_pszDescription, "described", "description at 16");
    ExpectInt(variable->m_nFlagBits, 0x200, "flag word at 20");
    ExpectAddress(variable->m_pPrimary, variable, "primary variable at 28");
    ExpectAddress(variable->m_pszDefaultText, defaultText, "default text at 32");
    ExpectValue(variable, "5", 5.0f, 5);
    ExpectInt(variable->m_nTextCapacity, 2, "text capacity at 40");
    ExpectInt(Byte(variable->m_bHasLowerBound), 0, "lower-bound marker at 52");
    ExpectFloat(variable->m_flLowerBound, -1.0f, "lower bound at 56");
    ExpectInt(Byte(variable->m_bHasUpperBound), 1, "upper-bound marker at 60");
    ExpectFloat(variable->m_flUpperBound, 3.0f, "upper bound at 64");
    ExpectAddress(reinterpret_cast<const void*>(variable->m_pfnOnChange),
                  reinterpret_cast<const void*>(&OnChange), "change callback at 68");

    float value = -5.0f;
    ExpectBool(
        CallEntry("ConVar entry 14 (ClampToBounds)", variable, &ConVar::ClampToBounds, &value),
        false, "result for -5 (no lower bound in force)");
    ExpectFloat(value, -5.0f, "value");
    value = 4.0f;
    ExpectBool(
        CallEntry("ConVar entry 14 (ClampToBounds)", variable, &ConVar::ClampToBounds, &value),
        true, "result for 4");
    ExpectFloat(value, 3.0f, "value");

    CallEntry("ConVar entry 11 (ApplyString), clamped", variable, &ConVar::ApplyString, "5");
    ExpectValue(variable, "3.000000", 3.0f, 3);
    ExpectLog(
        "callback(its IConVar part, \"5\", 5); "
        "NotifyValueChanged(variable, \"5\", 5) seeing \"3.000000\"");
    CallEntry("ConVar entry 15 (ReplaceString)", variable, &ConVar::ReplaceString, "a longer text",
              1.25f);
    ExpectValue(variable, "a longer text", 3.0f, 3);
    ExpectInt(variable->m_nTextCapacity, 14, "text capacity at 40");
    ExpectLog(
        "callback(its IConVar part, \"3.000000\", 1.25); "
        "NotifyValueChanged(variable, \"3.000000\", 1.25) seeing \"a longer text\"");

    // The blank variable's IConVar part ignores assignments and answers for itself.
    IConVar* part = variable;
    CallEntry("IConVar entry 1 (AssignInt)", part, &IConVar::AssignInt, 9);
    CallEntry("IConVar entry 2 (AssignFloat)", part, &IConVar::AssignFloat, 9.5f);
    CallEntry("IConVar entry 3 (AssignString)", part, &IConVar::AssignString, "9");
    ExpectValue(variable, "a longer text", 3.0f, 3);
    ExpectLog("");
    ExpectText(As<const char*>(CallEntry("IConVar entry 4 (Name)", part, &IConVar::Name)), "",
               "result");
    ExpectBool(CallEntry("IConVar entry 5 (HasAnyFlag)", part, &IConVar::HasAnyFlag, -1), false,
               "result");

    // Last: a float taken for a text pointer faults.
    CallEntry("ConVar entry 12 (ApplyFloat)", variable, &ConVar::ApplyFloat, 0.5f);
    ExpectValue(variable, "0.500000", 0.5f, 0);
    ExpectLog(
        "callback(its IConVar part, \"a longer text\", 3); "
        "NotifyValueChanged(variable, \"a longer text\", 3) seeing \"0.500000\"");
    Detach(plugin);
}

// A server life: vesk_open, attach, a change of each kind, a mount, detach, every call into
// the library entering at the group's stack residue. The float change comes last, as above.
void StackAlignment() {
    PluginObject* plugin = CreatePlugin();
    if (plugin == nullptr) return;
    Runtime& runtime = s_pEngine->runtime;
    ExpectInt(
        CallFunction("vesk_open", s_pModule->open, static_cast<ScriptHostInterface*>(&runtime)), 0,
        "result");
    ExpectLog(
        "FetchModuleManager; FetchScriptState; InterfaceForState(state); "
        "RegisterGlobalFunction(\"MountOtherGame\"); RegisterGlobalFunction(\"IsGameMounted\")");
    ConVar* variable = Attach(plugin);
    if (variable == nullptr) return;

    CallEntry("ConVar entry 11 (ApplyString)", variable, &ConVar::ApplyString, "1.5");
    ExpectValue(variable, "1.5", 1.5f, 1);
    ExpectLog("NotifyValueChanged(variable, \"0\", 0) seeing \"1.5\"");
    CallEntry("ConVar entry 13 (ApplyInt)", variable, &ConVar::ApplyInt, -7);
    ExpectValue(variable, "-7", -7.0f, -7);
    ExpectLog("NotifyValueChanged(variable, \"1.5\", 1.5) seeing \"-7\"");
    IConVar* part = variable;
    CallEntry("IConVar entry 3 (AssignString)", part, &IConVar::AssignString, "8");
    CallEntry("IConVar entry 2 (AssignFloat)", part, &IConVar::AssignFloat, 8.5f);
    CallEntry("IConVar entry 1 (AssignInt)", part, &IConVar::AssignInt, 8);
    ExpectValue(variable, "-7", -7.0f, -7);
    ExpectLog("");

    if (Expect(runtime.mountOtherGame != nullptr && runtime.isGameMounted != nullptr,
               "both script functions registered")) {
        runtime.number = 240 + s_nResidue;
        char expected[512];
        ExpectInt(CallFunction("MountOtherGame",
                               reinterpret_cast<const void*>(runtime.mountOtherGame), TheState()),
                  0, "results");
        Format(expected, sizeof(expected),
               "InterfaceForState(state); RequireArgumentType(1, 1); RequireArgumentType(2, 2); "
               "ArgumentInteger(2); ArgumentString(1); "
               "AppendSearchPath(\"layout/content\", \"GAME\", 1); MountApplicationContent(%d); "
               "PrintMessage(\"[OK] Mounted appid %d\n\")",
               -runtime.number, runtime.number);
        ExpectLog(expected);
        ExpectInt(CallFunction("IsGameMounted",
                               reinterpret_cast<const void*>(runtime.isGameMounted), TheState()),
                  1, "results");
        ExpectLog(
            "InterfaceForState(state); RequireArgumentType(1, 2); ArgumentInteger(1); "
            "PushBoolean(1)");
    }
    CallEntry("ConVar entry 12 (ApplyFloat)", variable, &ConVar::ApplyFloat, 2.25f);
    ExpectValue(variable, "2.250000", 2.25f, 2);
    ExpectLog("NotifyValueChanged(variable, \"-7\", -7) seeing \"2.250000\"");
    Detach(plugin);
}

// The deleting destructor entries give the object's memory back through the library's operator
// delete. The objects are static, so the stand-in allocator keeps what it is given back; the
// library's unload then runs their static destructors again on the destroyed objects, which
// find the value text null and free nothing more.
void DeletingDestructors() {
    PluginObject* plugin = CreatePlugin();
    if (plugin == nullptr) return;
    ConVar* variable = Attach(plugin);
    if (variable == nullptr) return;
    Detach(plugin);
    EngineLayout_KeepReleasedBlocks();

    const char* const text = variable->m_pszValueText;
    ConCommandBase* entry = variable;
    int32_t releases = EngineLayout_AllocatorReleases();
    DestructorCall destroy = DeletingDestructor(entry);
    uint32_t result = CallDestructor("ConCommandBase", entry, destroy);
    if (destroy.returnsAddress) ExpectAddress(As(result), variable, "returned address");
    ExpectInt(EngineLayout_AllocatorReleases() - releases, 2,
              "blocks released (the value text, then the variable)");
    ExpectAddress(EngineLayout_ReleasedBlock(releases), text, "first block released");
    ExpectAddress(EngineLayout_ReleasedBlock(releases + 1), variable, "second block released");
    ExpectAddress(variable->m_pszValueText, nullptr, "value text at 36 after destruction");

    IGameEventListener* listener = plugin;
    releases = EngineLayout_AllocatorReleases();
    destroy = DeletingDestructor(listener);
    result = CallDestructor("event listener", listener, destroy);
    if (destroy.returnsAddress) {
        ExpectAddress(As(result), plugin, "returned address (the whole plugin object)");
    }
    ExpectInt(EngineLayout_AllocatorReleases() - releases, 1, "blocks released");
    ExpectAddress(EngineLayout_ReleasedBlock(releases), plugin,
                  "block released (the whole plugin object)");
}

}  // namespace

extern "C" int32_t EngineLayout_Run(EngineLayoutGroup group, int32_t stackResidue,
                                    const EngineLayoutModule* module) {
    Engine engine;
    s_pEngine = &engine;
    s_pModule = module;
    s_nResidue = stackResidue;
    switch (group) {
        case EngineLayoutGroup::kPluginOperations:
            PluginOperations();
            break;
        case EngineLayoutGroup::kEventListener:
            EventListener();
            break;
        case EngineLayoutGroup::kCommandBase:
            CommandBase();
            break;
        case EngineLayoutGroup::kVariable:
            Variable();
            break;
        case EngineLayoutGroup::kStackAlignment:
            StackAlignment();
            break;
        case EngineLayoutGroup::kDeletingDestructors:
            DeletingDestructors();
            break;
    }
    s_pEngine = nullptr;
    return s_nFailures;
}

extern "C" const char* EngineLayout_Step() {
    return s_pszStep;
}
