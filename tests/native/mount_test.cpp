// The script module and mounting, driven through one fake engine and runtime logging each call.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <sstream>
#include <string>
#include <tuple>

#include "mount/mount_functions.h"
#include "mount/mounted_app_registry.h"
#include "mount/script_module.h"
#include "plugin/server_plugin.h"
#include "support/platform_linked.h"
#include "tier0_testing.h"

namespace {

const ScriptState kState = reinterpret_cast<ScriptState>(0x5eed);

class Fake final : public FileSystemInterface,
                   public ScriptInterface,
                   public ScriptModuleManager,
                   public ScriptHostInterface {
public:
    int MountApplicationContent(int id) override {
        return Answer(engineResult, "MountApplicationContent", id);
    }
    void AppendSearchPath(const char* added, const char* identifier, int position) override {
        Log("AppendSearchPath", added, identifier, position);
    }
    const char* ArgumentString(int index) override { return Answer(path, "ArgumentString", index); }
    int ArgumentInteger(int index) override { return Answer(number, "ArgumentInteger", index); }
    void PushBoolean(int value) override { pushed = Answer(value, "PushBoolean", value); }
    void RegisterGlobalFunction(const char* name, ScriptFunction function) override {
        Log("RegisterGlobalFunction", name);
        (std::strcmp(name, "MountOtherGame") == 0 ? mountOtherGame : isGameMounted) = function;
    }
    void RequireArgumentType(int i, int type) override { Log("RequireArgumentType", i, type); }
    void ReportFailure(const char* text) override { Log("ReportFailure", text); }
    void PrintMessage(const char* format, ...) override { Log("PrintMessage", format); }
    ScriptInterface* InterfaceForState(ScriptState asked) override {
        return asked == kState ? this : nullptr;
    }
    ScriptState FetchScriptState() override { return kState; }
    ScriptModuleManager* FetchModuleManager() override { return offeredManager; }

    // Writes the call as name(arguments) on a line of its own.
    template <typename... Arguments>
    void Log(const char* name, const Arguments&... arguments) {
        [[maybe_unused]] const char* separator = "";
        log << name << '(';
        ((log << separator << arguments, separator = ", "), ...);
        log << ")\n";
    }
    template <typename Result, typename... Arguments>
    Result Answer(Result result, const char* name, const Arguments&... arguments) {
        Log(name, arguments...);
        return result;
    }

    std::ostringstream log;
    ScriptModuleManager* offeredManager = this;
    const char* path = "p";
    int number = 0, engineResult = 0, pushed = -1;
    ScriptFunction mountOtherGame = nullptr, isGameMounted = nullptr;
};

const std::string kReads =
    "RequireArgumentType(1, 1)\nRequireArgumentType(2, 2)\nArgumentInteger(2)\nArgumentString(1)\n";

// Attached and opened; then closed, as the runtime may still call the functions after that.
class Mounting : public ::testing::Test {
protected:
    void SetUp() override {
        g_pPluginFileSystem = &fake;
        ASSERT_EQ(vesk_open(&fake), 0);
        ASSERT_EQ(vesk_close(), 0);
    }
    // What the runtime does for MountOtherGame(path, appid): the calls that follow the
    // argument checks and reads, which always come first and in this order.
    std::string Mount(const char* path, int appid, int engineResult = 0) {
        fake.path = path;
        fake.number = appid;
        fake.engineResult = engineResult;
        fake.log.str("");
        EXPECT_EQ(fake.mountOtherGame(kState), 0);
        const std::string log = fake.log.str();
        EXPECT_TRUE(log.starts_with(kReads)) << log;
        return log.starts_with(kReads) ? log.substr(kReads.size()) : log;
    }
    // What the runtime does for IsGameMounted(appid): the boolean pushed.
    int IsMounted(int appid) {
        fake.number = appid;
        fake.log.str("");
        EXPECT_EQ(fake.isGameMounted(kState), 1);
        EXPECT_EQ(fake.log.str(), "RequireArgumentType(1, 2)\nArgumentInteger(1)\nPushBoolean(" +
                                      std::to_string(fake.pushed) + ")\n");
        return fake.pushed;
    }
    Fake fake;
};

}  // namespace

TEST_F(Mounting, OpenRegistersBothFunctionsInOrderAndNothingWithoutHostOrManager) {
    fake.offeredManager = nullptr;
    EXPECT_EQ(vesk_open(&fake) + vesk_open(nullptr), 0);
    // Without a manager, as before vesk_open, the functions touch nothing and push nothing.
    EXPECT_EQ(fake.mountOtherGame(kState) + fake.isGameMounted(kState), 0);
    EXPECT_EQ(fake.log.str(),
              "RegisterGlobalFunction(MountOtherGame)\nRegisterGlobalFunction(IsGameMounted)\n");
}

// A library that started without the engine's base library offers a runtime nothing.
TEST_F(Mounting, OpenRegistersNothingWhenTheLibraryDidNotStart) {
    SetLinkedBaseLibraryStarted(false);
    fake.log.str("");
    EXPECT_EQ(vesk_open(&fake), 0);
    EXPECT_EQ(fake.log.str(), "");
}

TEST_F(Mounting, AppendsThePathEvenOnFailureThenMountsTheNegatedIdAndReports) {
    const std::tuple<int, int, int, const char*> rows[] = {
        {240, 0, -240, "PrintMessage([OK] Mounted appid 240\n)"},
        {240, 0, -240, "PrintMessage([OK] Mounted appid 240\n)"},   // a repeat reports again
        {241, -1, -241, "PrintMessage([OK] Mounted appid 241\n)"},  // only 1 means failure
        {999, 1, -999, "ReportFailure([NOT OK] Unable to mount appid 999)"},
        {0, 2, 0, "PrintMessage([OK] Mounted appid 0\n)"},
        {-5, 0, 5, "PrintMessage([OK] Mounted appid -5\n)"},
        // The most negative id negates to itself and gives the longest reports.
        {INT_MIN, 1, INT_MIN, "ReportFailure([NOT OK] Unable to mount appid -2147483648)"},
        {INT_MIN, 0, INT_MIN, "PrintMessage([OK] Mounted appid -2147483648\n)"},
    };
    for (const auto& [appid, engineResult, negated, report] : rows) {
        EXPECT_EQ(Mount("content/other", appid, engineResult),
                  "AppendSearchPath(content/other, GAME, 1)\nMountApplicationContent(" +
                      std::to_string(negated) + ")\n" + report + "\n");
        EXPECT_EQ(IsMounted(appid), engineResult == kMountFailed ? 0 : 1) << appid;
    }
    EXPECT_EQ(g_MountedAppRegistry.Count(), 5) << "one entry per mounted id";
}

TEST_F(Mounting, IdsAreFoundBySignedValueThroughManyGrowths) {
    for (const int appid : {10, -3, 7}) Mount("p", appid);
    EXPECT_EQ(g_MountedAppRegistry.IdAt(0), -3);
    for (const int appid : {-4, -3, -2, 0, 6, 7, 8, 9, 10, 11, INT_MIN, INT_MAX}) {
        EXPECT_EQ(IsMounted(appid), appid == 10 || appid == -3 || appid == 7 ? 1 : 0) << appid;
    }
    // Scrambled ids of either sign, enough to grow the storage several times.
    for (int i = 1; i <= 300; ++i) Mount("p", static_cast<int>(i * 2654435761u));
    for (int i = 1; i <= 300; ++i) ASSERT_EQ(IsMounted(static_cast<int>(i * 2654435761u)), 1) << i;
}

TEST_F(Mounting, WithoutFileSystemOrPathTheScriptIsToldAndNothingIsCalled) {
    g_pPluginFileSystem = nullptr;  // not attached yet
    EXPECT_EQ(
        Mount("content/other", 240),
        "ReportFailure([NOT OK] Unable to mount appid 240: the server plugin is not loaded)\n");
    g_pPluginFileSystem = &fake;
    EXPECT_EQ(Mount(nullptr, 241),
              "ReportFailure([NOT OK] Unable to mount appid 241: no content path given)\n");
    EXPECT_EQ(IsMounted(240) + IsMounted(241), 0);
}

TEST_F(Mounting, WithoutMemoryForTheRecordTheEngineIsNotAskedAndNothingIsLost) {
    Mount("p", 77);
    Tier0Test_FailAllocation(1);  // the next growth of the storage is refused
    int refused = 78;
    while (Mount("p", refused).find("[OK]") != std::string::npos && refused < 200) ++refused;
    EXPECT_EQ(fake.log.str(), kReads + "ReportFailure([NOT OK] Unable to mount appid " +
                                  std::to_string(refused) + ": out of memory)\n");
    Tier0Test_FailAllocation(1);  // a repeat needs no room
    EXPECT_NE(Mount("p", 77).find("PrintMessage([OK] Mounted appid 77\n)"), std::string::npos);
    Tier0Test_FailAllocation(0);
    EXPECT_EQ(IsMounted(refused), 0);
    for (int appid = 77; appid < refused; ++appid) EXPECT_EQ(IsMounted(appid), 1) << appid;
    EXPECT_NE(Mount("p", refused).find("[OK]"), std::string::npos);
}
