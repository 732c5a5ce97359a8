// The two connection levels to the engine's shared interfaces.
#include "plugin/engine_connection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_Asked;

// Answers each version it offers with the address of its offer, and records what it is asked.
template <const auto& offers>
void* Factory(const char* version, int* returnCode) {
    g_Asked.emplace_back(version);
    EXPECT_EQ(returnCode, nullptr);
    for (const char* const& offered : offers)
        if (std::strcmp(offered, version) == 0) return const_cast<char**>(&offered);
    return nullptr;
}

const char* const kUtilities[] = {"VProcessUtils001"};
const char* const kConsoleAndUtilities[] = {"VEngineCvar004", "VProcessUtils001"};
const char* const kSome[] = {"VFileSystem017", "VMaterialSystem079", "VBAllocTracker001"};
const char* const kOther[] = {"VFileSystem017", "QueuedLoaderVersion001", "VEngineCvar004"};

struct EngineConnection : testing::Test {
    void SetUp() override { g_Asked.clear(); }
};

}  // namespace

TEST_F(EngineConnection, FirstLevelConnectsOnceEvenEmptyAndFillsGapsFromLaterFactories) {
    const InterfaceFactory factories[] = {Factory<kUtilities>, Factory<kConsoleAndUtilities>,
                                          Factory<kOther>};
    ConnectFirstLevel(factories, 0);
    ConnectFirstLevel(factories, 3);
    EXPECT_TRUE(g_Asked.empty()) << "an empty list still counts as connected";

    DisconnectFirstLevel();
    ConnectFirstLevel(factories, 3);
    EXPECT_EQ(static_cast<void*>(g_pCVar), &kConsoleAndUtilities[0]);
    EXPECT_EQ(cvar, g_pCVar);
    EXPECT_EQ(static_cast<void*>(g_pProcessUtilities), &kUtilities[0]);
    EXPECT_EQ(g_Asked.size(), 3u) << "later factories are asked only for what is missing";
    DisconnectFirstLevel();
    EXPECT_TRUE(cvar == nullptr && g_pCVar == nullptr && g_pProcessUtilities == nullptr);
}

TEST_F(EngineConnection, SecondLevelOnlyFillsGapsAndDisconnectKeepsTheTracker) {
    const InterfaceFactory factories[] = {Factory<kSome>, Factory<kOther>};
    ConnectSecondLevel(factories, 2);
    EXPECT_EQ(g_pFileSystem, &kSome[0]) << "the first factory that answers wins";
    EXPECT_EQ(g_pMaterialSystemAlias, &kSome[1]);
    EXPECT_EQ(g_pQueuedLoader, &kOther[1]);
    EXPECT_EQ(g_Asked.size(), 11u + 8u) << "the second factory is asked only for the gaps";

    DisconnectSecondLevel();
    EXPECT_TRUE(g_pFileSystem == nullptr && g_pMaterialSystem == nullptr &&
                g_pMaterialSystemAlias == nullptr && g_pQueuedLoader == nullptr);
    EXPECT_EQ(g_pVertexBufferAllocTracker, &kSome[2]);
}
