// The script module and game mounting, driven the way the script runtime and the engine
// drive them, against fakes that record every call in one ordered log.
#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "interfaces/file_system.h"
#include "interfaces/script_runtime.h"
#include "interfaces/tier0.h"
#include "mount/mount_functions.h"
#include "mount/mounted_app_registry.h"
#include "mount/script_module.h"
#include "plugin/server_plugin.h"

namespace {

// A fixed buffer, so that recording never allocates (some tests refuse every allocation).
class EventLog {
public:
    void Add(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        va_list arguments;
        va_start(arguments, format);
        const int room = static_cast<int>(sizeof(m_Text)) - m_nLength;
        const int written =
            std::vsnprintf(m_Text + m_nLength, static_cast<std::size_t>(room), format, arguments);
        va_end(arguments);
        if (written > 0) m_nLength += written < room ? written : room - 1;
    }
    bool Contains(const char* text) const { return std::strstr(m_Text, text) != nullptr; }
    std::string Text() const { return std::string(m_Text, static_cast<std::size_t>(m_nLength)); }
    void Clear() {
        m_nLength = 0;
        m_Text[0] = '\0';
    }

private:
    char m_Text[8192] = {};
    int m_nLength = 0;
};

EventLog g_Log;

// Newlines in reported texts show as \n so that each call stays one line of the log.
const char* Escaped(const char* text) {
    static char buffer[256];
    std::size_t out = 0;
    for (; *text != '\0' && out + 2 < sizeof(buffer); ++text) {
        if (*text == '\n') {
            buffer[out++] = '\\';
            buffer[out++] = 'n';
        } else {
            buffer[out++] = *text;
        }
    }
    buffer[out] = '\0';
    return buffer;
}

class RecordingFileSystem final : public FileSystemInterface {
public:
    int MountApplicationContent(int id) override {
        g_Log.Add("MountApplicationContent(%d)\n", id);
        return result;
    }
    void AppendSearchPath(const char* path, const char* pathIdentifier, int position) override {
        g_Log.Add("AppendSearchPath(%s, %s, %d)\n", path, pathIdentifier, position);
    }
    int result = 0;
};

class RecordingScript final : public ScriptInterface {
public:
    const char* ArgumentString(int index) override {
        g_Log.Add("ArgumentString(%d)\n", index);
        return index == 1 ? path : nullptr;
    }
    int ArgumentInteger(int index) override {
        g_Log.Add("ArgumentInteger(%d)\n", index);
        return number;
    }
    void PushBoolean(int value) override {
        g_Log.Add("PushBoolean(%d)\n", value);
        pushed = value;
    }
    void RegisterGlobalFunction(const char* name, ScriptFunction function) override {
        g_Log.Add("RegisterGlobalFunction(%s)\n", name);
        if (std::strcmp(name, "MountOtherGame") == 0) mountOtherGame = function;
        if (std::strcmp(name, "IsGameMounted") == 0) isGameMounted = function;
    }
    void RequireArgumentType(int index, int typeCode) override {
        g_Log.Add("RequireArgumentType(%d, %d)\n", index, typeCode);
    }
    void ReportFailure(const char* text) override {
        g_Log.Add("ReportFailure(%s)\n", Escaped(text));
    }
    void PrintMessage(const char* format, ...) override {
        g_Log.Add("PrintMessage(%s)\n", Escaped(format));
    }

    const char* path = "content/other";
    int number = 0;
    int pushed = -1;
    ScriptFunction mountOtherGame = nullptr;
    ScriptFunction isGameMounted = nullptr;
};

const ScriptState kState = reinterpret_cast<ScriptState>(0x5eed);

class RecordingManager final : public ScriptModuleManager {
public:
    ScriptInterface* InterfaceForState(ScriptState state) override {
        g_Log.Add("InterfaceForState\n");
        return state == kState ? served : nullptr;
    }
    ScriptInterface* served = nullptr;
};

class RecordingHost final : public ScriptHostInterface {
public:
    ScriptState FetchScriptState() override {
        g_Log.Add("FetchScriptState\n");
        return kState;
    }
    ScriptModuleManager* FetchModuleManager() override {
        g_Log.Add("FetchModuleManager\n");
        return manager;
    }
    ScriptModuleManager* manager = nullptr;
};

// The engine has attached the plugin and the runtime has opened the module.
class Mounting : public ::testing::Test {
protected:
    void SetUp() override {
        g_pPluginFileSystem = &fileSystem;
        manager.served = &script;
        host.manager = &manager;
        ASSERT_EQ(vesk_open(&host), 0);
        ASSERT_NE(script.mountOtherGame, nullptr);
        ASSERT_NE(script.isGameMounted, nullptr);
        g_Log.Clear();
    }

    // What the runtime does for MountOtherGame(path, appid) in a script.
    std::string Mount(const char* path, int appid, int engineResult = 0) {
        script.path = path;
        script.number = appid;
        fileSystem.result = engineResult;
        g_Log.Clear();
        EXPECT_EQ(script.mountOtherGame(kState), 0);
        return g_Log.Text();
    }

    // What the runtime does for IsGameMounted(appid); -1 when nothing was pushed.
    int IsMounted(int appid) {
        script.number = appid;
        script.pushed = -1;
        const int results = script.isGameMounted(kState);
        EXPECT_EQ(results, script.pushed == -1 ? 0 : 1);
        return script.pushed;
    }

    RecordingFileSystem fileSystem;
    RecordingScript script;
    RecordingManager manager;
    RecordingHost host;
};

// Refuses every allocation while it is in force; releases still reach the real allocator.
class RefusingAllocator final : public AllocatorInterface {
public:
    explicit RefusingAllocator(AllocatorInterface* real) : m_pReal(real) {}
    void* AllocateTagged(std::uint32_t, const char*, int) override { return nullptr; }
    void* Allocate(std::uint32_t) override { return nullptr; }
    void* ReallocateTagged(void*, std::uint32_t, const char*, int) override { return nullptr; }
    void* Reallocate(void*, std::uint32_t) override { return nullptr; }
    void Release(void* block) override { m_pReal->Release(block); }
    std::uint32_t BlockSize(void* block) override { return m_pReal->BlockSize(block); }
    bool WantsAllocationTags() override { return false; }

private:
    AllocatorInterface* m_pReal;
};

class ScopedRefusal {
public:
    ScopedRefusal() : m_pReal(g_pMemAlloc), m_Refusing(g_pMemAlloc) { g_pMemAlloc = &m_Refusing; }
    ~ScopedRefusal() { g_pMemAlloc = m_pReal; }

private:
    AllocatorInterface* m_pReal;
    RefusingAllocator m_Refusing;
};

}  // namespace

TEST(ScriptModule, OpenRegistersBothFunctionsInOrderAndCloseLeavesThemWorking) {
    RecordingFileSystem fileSystem;
    RecordingScript script;
    RecordingManager manager;
    RecordingHost host;
    manager.served = &script;
    host.manager = &manager;
    g_pPluginFileSystem = &fileSystem;
    g_Log.Clear();

    EXPECT_EQ(vesk_open(&host), 0);
    EXPECT_EQ(g_Log.Text(),
              "FetchModuleManager\n"
              "FetchScriptState\n"
              "InterfaceForState\n"
              "RegisterGlobalFunction(MountOtherGame)\n"
              "RegisterGlobalFunction(IsGameMounted)\n");

    g_Log.Clear();
    EXPECT_EQ(vesk_close(), 0);
    EXPECT_EQ(g_Log.Text(), "");
    script.number = 4321;
    ASSERT_NE(script.mountOtherGame, nullptr);
    script.mountOtherGame(kState);
    script.isGameMounted(kState);
    EXPECT_EQ(script.pushed, 1);
}

TEST(ScriptModule, OpeningWithoutAManagerOrInterfaceRegistersNothing) {
    EXPECT_EQ(vesk_open(nullptr), 0);

    RecordingHost host;  // offers no module manager
    g_Log.Clear();
    EXPECT_EQ(vesk_open(&host), 0);
    EXPECT_EQ(g_Log.Text(), "FetchModuleManager\nFetchScriptState\n");

    RecordingManager manager;  // knows no interface for the state
    host.manager = &manager;
    g_Log.Clear();
    EXPECT_EQ(vesk_open(&host), 0);
    EXPECT_EQ(g_Log.Text(), "FetchModuleManager\nFetchScriptState\nInterfaceForState\n");
}

TEST_F(Mounting, SuccessReadsArgumentsAppendsThenMountsTheNegatedIdAndRecords) {
    EXPECT_EQ(IsMounted(240), 0);
    EXPECT_EQ(Mount("content/other", 240),
              "InterfaceForState\n"
              "RequireArgumentType(1, 1)\n"
              "RequireArgumentType(2, 2)\n"
              "ArgumentInteger(2)\n"
              "ArgumentString(1)\n"
              "AppendSearchPath(content/other, GAME, 1)\n"
              "MountApplicationContent(-240)\n"
              "PrintMessage([OK] Mounted appid 240\\n)\n");
    g_Log.Clear();
    EXPECT_EQ(IsMounted(240), 1);
    EXPECT_EQ(g_Log.Text(),
              "InterfaceForState\n"
              "RequireArgumentType(1, 2)\n"
              "ArgumentInteger(1)\n"
              "PushBoolean(1)\n");

    // Only 1 means failure.
    for (const int result : {2, -1, INT_MIN}) {
        const std::string log = Mount("p", 241, result);
        EXPECT_NE(log.find("PrintMessage([OK] Mounted appid 241"), std::string::npos) << result;
    }
}

TEST_F(Mounting, FailureKeepsThePathReportsWithoutNewlineAndRecordsNothing) {
    const std::int32_t before = g_MountedAppRegistry.Count();
    const std::string log = Mount("content/missing", 999, kMountFailed);
    EXPECT_NE(log.find("AppendSearchPath(content/missing, GAME, 1)\n"
                       "MountApplicationContent(-999)\n"
                       "ReportFailure([NOT OK] Unable to mount appid 999)\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("PrintMessage"), std::string::npos) << log;
    EXPECT_EQ(IsMounted(999), 0);
    EXPECT_EQ(g_MountedAppRegistry.Count(), before);
}

TEST_F(Mounting, RepeatedMountReportsEachTimeAndKeepsOneEntry) {
    const std::int32_t before = g_MountedAppRegistry.Count();
    for (int round = 0; round < 2; ++round) {
        const std::string log = Mount("content/other", 320);
        EXPECT_NE(log.find("AppendSearchPath(content/other, GAME, 1)\n"
                           "MountApplicationContent(-320)\n"
                           "PrintMessage([OK] Mounted appid 320\\n)\n"),
                  std::string::npos)
            << log;
    }
    EXPECT_EQ(g_MountedAppRegistry.Count(), before + 1);
    EXPECT_EQ(IsMounted(320), 1);
}

TEST_F(Mounting, RegistryOrdersIdsBySignedValue) {
    for (const int appid : {10, -3, 7}) Mount("p", appid);
    for (const int appid : {10, -3, 7}) EXPECT_EQ(IsMounted(appid), 1) << appid;
    for (const int appid : {-4, -2, 0, 6, 8, 9, 11, INT_MIN, INT_MAX}) {
        EXPECT_EQ(IsMounted(appid), 0) << appid;
    }

    // Enough ids to grow the storage several times, in scrambled order, extremes included.
    std::uint32_t seed = 12345;
    for (int i = 0; i < 500; ++i) {
        seed = seed * 1103515245u + 12345u;
        Mount("p", static_cast<int>(seed));
    }
    Mount("p", INT_MIN);
    Mount("p", INT_MAX);
    ASSERT_GE(g_MountedAppRegistry.Count(), 3 + 2);
    for (std::int32_t i = 1; i < g_MountedAppRegistry.Count(); ++i) {
        ASSERT_LT(g_MountedAppRegistry.IdAt(i - 1), g_MountedAppRegistry.IdAt(i)) << i;
    }
    EXPECT_EQ(g_MountedAppRegistry.IdAt(0), INT_MIN);
    EXPECT_EQ(g_MountedAppRegistry.IdAt(g_MountedAppRegistry.Count() - 1), INT_MAX);
    seed = 12345;
    for (int i = 0; i < 500; ++i) {
        seed = seed * 1103515245u + 12345u;
        ASSERT_EQ(IsMounted(static_cast<int>(seed)), 1) << i;
    }
    for (const int appid : {10, -3, 7}) EXPECT_EQ(IsMounted(appid), 1) << appid;
}

TEST_F(Mounting, ExtremeIdsAreNegatedInTwosComplement) {
    EXPECT_NE(Mount("p", 0).find("MountApplicationContent(0)\n"), std::string::npos);
    EXPECT_NE(Mount("p", -5).find("MountApplicationContent(5)\n"), std::string::npos);
    EXPECT_NE(Mount("p", INT_MAX).find("MountApplicationContent(-2147483647)\n"),
              std::string::npos);

    // The longest report of all: the most negative id, which negates to itself.
    std::string log = Mount("p", INT_MIN, kMountFailed);
    EXPECT_NE(log.find("MountApplicationContent(-2147483648)\n"
                       "ReportFailure([NOT OK] Unable to mount appid -2147483648)\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(IsMounted(INT_MIN), 0);
    log = Mount("p", INT_MIN);
    EXPECT_NE(log.find("PrintMessage([OK] Mounted appid -2147483648\\n)\n"), std::string::npos)
        << log;
    EXPECT_EQ(IsMounted(INT_MIN), 1);
}

TEST_F(Mounting, BeforeThePluginIsAttachedTheScriptIsToldAndNothingChanges) {
    g_pPluginFileSystem = nullptr;
    const std::int32_t before = g_MountedAppRegistry.Count();
    const std::string log = Mount("content/other", 240);
    EXPECT_NE(log.find("ReportFailure([NOT OK] Unable to mount appid 240: the server plugin is not "
                       "loaded)\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("PrintMessage"), std::string::npos) << log;
    EXPECT_EQ(g_MountedAppRegistry.Count(), before);
    EXPECT_EQ(IsMounted(240), 0);
}

TEST_F(Mounting, ANullPathIsRefusedWithoutCallingTheFileSystem) {
    const std::string log = Mount(nullptr, 240);
    EXPECT_EQ(log.find("AppendSearchPath"), std::string::npos) << log;
    EXPECT_EQ(log.find("MountApplicationContent"), std::string::npos) << log;
    EXPECT_NE(log.find("ReportFailure([NOT OK] Unable to mount appid 240: no content path "
                       "given)\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(IsMounted(240), 0);
}

TEST_F(Mounting, BeforeTheModuleIsOpenedOrForAStrangeStateNothingHappens) {
    g_pScriptModuleManager = nullptr;
    g_Log.Clear();
    EXPECT_EQ(script.mountOtherGame(kState), 0);
    EXPECT_EQ(script.isGameMounted(kState), 0);
    EXPECT_EQ(g_Log.Text(), "");

    g_pScriptModuleManager = &manager;
    g_Log.Clear();
    const ScriptState stranger = reinterpret_cast<ScriptState>(0xbad);
    EXPECT_EQ(script.mountOtherGame(stranger), 0);
    EXPECT_EQ(script.isGameMounted(stranger), 0);
    EXPECT_EQ(g_Log.Text(), "InterfaceForState\nInterfaceForState\n");
}

TEST_F(Mounting, WithoutMemoryForTheRecordTheEngineIsNotAskedToMount) {
    Mount("p", 77);
    int refusedId = 0;
    {
        // Nothing in here may allocate: new ids until the storage has to grow, then a
        // repeat of a recorded id, which needs no room.
        ScopedRefusal refusal;
        for (int appid = 1000; appid < 1100 && refusedId == 0; ++appid) {
            g_Log.Clear();
            script.number = appid;
            script.mountOtherGame(kState);
            if (g_Log.Contains("out of memory")) refusedId = appid;
        }
        script.number = 77;
        script.mountOtherGame(kState);
    }
    ASSERT_NE(refusedId, 0) << "the storage never had to grow";
    const std::string log = g_Log.Text();
    char refusal[96];
    std::snprintf(refusal, sizeof(refusal),
                  "ReportFailure([NOT OK] Unable to mount appid %d: out of memory)\n"
                  "InterfaceForState\n",
                  refusedId);
    EXPECT_EQ(log.find(refusal), log.find("ReportFailure")) << log;
    EXPECT_EQ(log.find("MountApplicationContent"), log.rfind("MountApplicationContent"))
        << "only the repeat reaches the engine: " << log;
    EXPECT_EQ(log.find("AppendSearchPath"), log.rfind("AppendSearchPath")) << log;
    EXPECT_NE(log.find("MountApplicationContent(-77)\nPrintMessage([OK] Mounted appid 77\\n)"),
              std::string::npos)
        << log;
    EXPECT_EQ(IsMounted(refusedId), 0);
    if (refusedId > 1000) {
        EXPECT_EQ(IsMounted(refusedId - 1), 1);
    }

    EXPECT_NE(Mount("p", refusedId).find("PrintMessage([OK] Mounted appid"), std::string::npos);
    EXPECT_EQ(IsMounted(refusedId), 1);
}

TEST(MountedAppRegistry, RefusedGrowthKeepsEveryRecordedId) {
    MountedAppRegistry registry;
    int recorded = 0;
    for (; recorded < 3; ++recorded) ASSERT_TRUE(registry.Record(recorded * 100));
    int refusedAt = -1;
    {
        ScopedRefusal refusal;
        for (int i = recorded; i < 100 && refusedAt < 0; ++i) {
            if (registry.Record(i * 100)) {
                ++recorded;
            } else {
                refusedAt = i;
            }
        }
    }
    ASSERT_GE(refusedAt, 0) << "the storage never had to grow";
    EXPECT_EQ(registry.Count(), recorded);
    for (int i = 0; i < recorded; ++i) EXPECT_TRUE(registry.Contains(i * 100)) << i;
    EXPECT_FALSE(registry.Contains(refusedAt * 100));
    EXPECT_TRUE(registry.Record(refusedAt * 100));
}
