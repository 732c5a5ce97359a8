// The interface registry behind CreateInterface and the plugin object's life.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin/interface_registry.h"
#include "plugin/server_plugin.h"

namespace {

std::vector<std::string> g_Asked;

void* NothingFactory(const char* name, int* returnCode) {
    g_Asked.emplace_back(name);
    if (returnCode != nullptr) *returnCode = 1;
    return nullptr;
}

int g_FileSystemToken;
int g_EngineToken;

void* EngineFactory(const char* name, int*) {
    if (std::strcmp(name, "VFileSystem017") == 0) return &g_FileSystemToken;
    if (std::strcmp(name, "VEngineServer021") == 0) return &g_EngineToken;
    return nullptr;
}

}  // namespace

TEST(InterfaceRegistry, OffersThePluginUnderItsExactNameOnly) {
    int code = -1;
    void* first = CreateInterface("ISERVERPLUGINCALLBACKS002", &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(first, static_cast<IServerPluginCallbacks*>(&g_ServerPlugin));
    code = -1;
    EXPECT_EQ(CreateInterface("ISERVERPLUGINCALLBACKS002", &code), first);
    EXPECT_EQ(code, 0);

    for (const char* near : {"ISERVERPLUGINCALLBACKS001", "iserverplugincallbacks002",
                             "ISERVERPLUGINCALLBACKS002 ", "ISERVERPLUGINCALLBACKS00", ""}) {
        code = -1;
        EXPECT_EQ(CreateInterface(near, &code), nullptr) << '"' << near << '"';
        EXPECT_EQ(code, 1) << '"' << near << '"';
    }
}

TEST(InterfaceRegistry, AcceptsANullReturnCodePointer) {
    EXPECT_NE(CreateInterface("ISERVERPLUGINCALLBACKS002", nullptr), nullptr);
    EXPECT_EQ(CreateInterface("VFileSystem017", nullptr), nullptr);
}

namespace {
int g_Answer = 42;
void* CreateAnswer() {
    return &g_Answer;
}
void* CreateNothing() {
    return nullptr;
}
}  // namespace

TEST(InterfaceRegistry, LastLinkedWinsAndSuccessCodeStandsEvenForANullObject) {
    static InterfaceRegistration first(CreateNothing, "TestDuplicate001");
    int code = -1;
    EXPECT_EQ(CreateInterface("TestDuplicate001", &code), nullptr);
    EXPECT_EQ(code, 0);  // written before the create function runs, never revised

    static InterfaceRegistration second(CreateAnswer, "TestDuplicate001");
    EXPECT_EQ(CreateInterface("TestDuplicate001", &code), &g_Answer);
}

TEST(ServerPlugin, DescribesItselfBeforeAndAfterAttach) {
    IServerPluginCallbacks& plugin = g_ServerPlugin;
    EXPECT_STREQ(plugin.DescribePlugin(), "Mount Plugin");
    EXPECT_TRUE(plugin.AttachToEngine(EngineFactory, EngineFactory));
    EXPECT_STREQ(plugin.DescribePlugin(), "Mount Plugin");
}

TEST(ServerPlugin, AttachKeepsWhatTheEngineOffersAndKeepsItAfterDetach) {
    IServerPluginCallbacks& plugin = g_ServerPlugin;
    ASSERT_TRUE(plugin.AttachToEngine(EngineFactory, NothingFactory));
    EXPECT_EQ(g_pPluginFileSystem, static_cast<void*>(&g_FileSystemToken));
    EXPECT_EQ(g_pEngineServer, static_cast<void*>(&g_EngineToken));
    EXPECT_TRUE(g_Asked.empty()) << "the game-server factory is not used";

    plugin.DetachFromEngine();
    EXPECT_EQ(g_pPluginFileSystem, static_cast<void*>(&g_FileSystemToken));
}

TEST(ServerPlugin, AttachSucceedsWhenTheEngineOffersNothing) {
    IServerPluginCallbacks& plugin = g_ServerPlugin;
    EXPECT_TRUE(plugin.AttachToEngine(NothingFactory, NothingFactory));
    EXPECT_EQ(g_pPluginFileSystem, nullptr);
    EXPECT_EQ(g_pEngineServer, nullptr);
    plugin.DetachFromEngine();
}

TEST(ServerPlugin, EngineQueriesAnswerZeroWhateverTheyAreGiven) {
    IServerPluginCallbacks& plugin = g_ServerPlugin;
    EXPECT_EQ(plugin.Operation15(1, 2, 3, 4, 5, 6), 0);
    EXPECT_EQ(plugin.Operation16(~PluginArgument{0}, 7), 0);
    EXPECT_EQ(plugin.Operation17(0, 0), 0);
}
