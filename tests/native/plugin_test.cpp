// The interface registry behind CreateInterface and the plugin object's life.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "plugin/engine_connection.h"
#include "plugin/interface_registry.h"
#include "plugin/server_plugin.h"
#include "support/platform_linked.h"

namespace {

int g_FileSystemToken, g_EngineToken;
bool g_bNothingFactoryAsked = false;

void* EngineFactory(const char* name, int*) {
    if (std::strcmp(name, "VFileSystem017") == 0) return &g_FileSystemToken;
    if (std::strcmp(name, "VEngineServer021") == 0) return &g_EngineToken;
    return nullptr;
}

void* NothingFactory(const char*, int*) {
    g_bNothingFactoryAsked = true;
    return nullptr;
}

// Offers every version but the console (whose registration pass would use it) at an
// address of its own, and records what it is asked, in order.
std::vector<std::string> g_Asked;
std::map<std::string, char> g_Offers;
void* OfferingFactory(const char* version, int* returnCode) {
    EXPECT_EQ(returnCode, nullptr);
    g_Asked.emplace_back(version);
    return g_Asked.back() == "VEngineCvar004" ? nullptr : &g_Offers[version];
}

}  // namespace

TEST(InterfaceRegistry, OffersThePluginUnderItsExactNameOnly) {
    int code = -1;
    void* plugin = CreateInterface("ISERVERPLUGINCALLBACKS002", &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(plugin, static_cast<IServerPluginCallbacks*>(&g_ServerPlugin));
    EXPECT_EQ(CreateInterface("ISERVERPLUGINCALLBACKS002", nullptr), plugin) << "the same object";

    for (const char* near : {"ISERVERPLUGINCALLBACKS001", "iserverplugincallbacks002",
                             "ISERVERPLUGINCALLBACKS002 ", "ISERVERPLUGINCALLBACKS00", ""}) {
        code = -1;
        EXPECT_EQ(CreateInterface(near, &code), nullptr) << '"' << near << '"';
        EXPECT_EQ(code, 1) << '"' << near << '"';
        EXPECT_EQ(CreateInterface(near, nullptr), nullptr);
    }
}

// A library that started without the engine's base library offers nothing, under any name.
TEST(InterfaceRegistry, OffersNothingWhenTheLibraryDidNotStart) {
    SetLinkedBaseLibraryStarted(false);
    for (const char* name : {"ISERVERPLUGINCALLBACKS002", "VEngineCvar004", ""}) {
        int code = -1;
        EXPECT_EQ(CreateInterface(name, &code), nullptr) << name;
        EXPECT_EQ(code, 1) << name;
    }
}

TEST(InterfaceRegistry, LastLinkedWinsAndSuccessCodeStandsEvenForANullObject) {
    static InterfaceRegistration first([]() -> void* { return nullptr; }, "Twice001");
    int code = -1;
    EXPECT_EQ(CreateInterface("Twice001", &code), nullptr);
    EXPECT_EQ(code, 0);  // written before the create function runs, never revised

    static InterfaceRegistration second([]() -> void* { return &g_EngineToken; }, "Twice001");
    EXPECT_EQ(CreateInterface("Twice001", &code), &g_EngineToken);
}

TEST(ServerPlugin, AttachKeepsWhatTheEngineOffersEvenAfterDetachAndNeverFails) {
    IServerPluginCallbacks& plugin = g_ServerPlugin;
    g_bNothingFactoryAsked = false;
    EXPECT_STREQ(plugin.DescribePlugin(), "Mount Plugin");
    EXPECT_TRUE(plugin.AttachToEngine(EngineFactory, NothingFactory));
    EXPECT_EQ(g_pPluginFileSystem, static_cast<void*>(&g_FileSystemToken));
    EXPECT_EQ(g_pEngineServer, static_cast<void*>(&g_EngineToken));
    EXPECT_FALSE(g_bNothingFactoryAsked) << "the game-server factory is not used";
    EXPECT_STREQ(plugin.DescribePlugin(), "Mount Plugin");
    plugin.DetachFromEngine();
    EXPECT_EQ(g_pPluginFileSystem, static_cast<void*>(&g_FileSystemToken));

    // A second load overwrites them, with null when the engine offers nothing.
    EXPECT_TRUE(plugin.AttachToEngine(NothingFactory, NothingFactory));
    EXPECT_TRUE(g_pPluginFileSystem == nullptr && g_pEngineServer == nullptr);
    plugin.DetachFromEngine();
}

TEST(ServerPlugin, LoadConnectsBothLevelsInOrderAndUnloadClearsAllButTheTracker) {
    const std::pair<const char*, void**> secondLevel[] = {
        {"VFileSystem017", &g_pFileSystem},
        {"VMaterialSystem079", &g_pMaterialSystem},
        {"InputSystemVersion001", &g_pInputSystem},
        {"NetworkSystemVersion001", &g_pNetworkSystem},
        {"MaterialSystemHardwareConfig012", &g_pMaterialSystemHardwareConfig},
        {"DebugTextureInfo001", &g_pDebugTextureInfo},
        {"VBAllocTracker001", &g_pVertexBufferAllocTracker},
        {"COLORCORRECTION_VERSION_1", &g_pColorCorrection},
        {"VP4001", &g_pP4},
        {"VMDLLIB001", &g_pModelLibrary},
        {"QueuedLoaderVersion001", &g_pQueuedLoader}};
    std::vector<std::string> expected = {"VEngineCvar004", "VProcessUtils001"};
    for (const auto& [version, pointer] : secondLevel) expected.emplace_back(version);
    expected.insert(expected.end(), {"VEngineServer021", "VFileSystem017"});

    g_Asked.clear();
    EXPECT_TRUE(g_ServerPlugin.AttachToEngine(OfferingFactory, NothingFactory));
    EXPECT_EQ(g_Asked, expected);
    EXPECT_EQ(static_cast<void*>(g_pProcessUtilities), &g_Offers["VProcessUtils001"]);
    for (const auto& [version, pointer] : secondLevel)
        EXPECT_EQ(*pointer, &g_Offers[version]) << version;
    EXPECT_EQ(g_pMaterialSystemAlias, g_pMaterialSystem);

    g_ServerPlugin.DetachFromEngine();
    EXPECT_EQ(g_pProcessUtilities, nullptr);
    for (const auto& [version, pointer] : secondLevel)
        EXPECT_EQ(*pointer, pointer == &g_pVertexBufferAllocTracker ? &g_Offers[version] : nullptr)
            << version;
    EXPECT_EQ(g_pMaterialSystemAlias, nullptr);
}

TEST(ServerPlugin, EngineQueriesAnswerZeroWhateverTheyAreGiven) {
    IServerPluginCallbacks& plugin = g_ServerPlugin;
    EXPECT_EQ(plugin.Operation15(1, 2, 3, 4, 5, 6), 0);
    EXPECT_EQ(plugin.Operation16(~PluginArgument{0}, 7), 0);
    EXPECT_EQ(plugin.Operation17(0, 0), 0);
}
