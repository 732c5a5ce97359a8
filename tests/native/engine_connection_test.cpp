// The two connection levels to the engine's shared interfaces.
#include "plugin/engine_connection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Offer {
    const char* version;
    void* object;
};

std::vector<std::string> g_Asked;
bool g_bReturnCodeSlotPassed = false;

// Answers from the offers, in its own list, and records what it was asked.
template <const std::vector<Offer>* offers>
void* Factory(const char* version, int* returnCode) {
    g_Asked.emplace_back(version);
    if (returnCode != nullptr) g_bReturnCodeSlotPassed = true;
    for (const Offer& offer : *offers) {
        if (std::strcmp(offer.version, version) == 0) return offer.object;
    }
    return nullptr;
}

int g_Tokens[8];
void* Token(int i) {
    return &g_Tokens[i];
}

const std::vector<Offer> kNothing;
const std::vector<Offer> kUtilitiesOnly = {{"VProcessUtils001", Token(0)}};
const std::vector<Offer> kConsoleAndUtilities = {{"VEngineCvar004", Token(1)},
                                                 {"VProcessUtils001", Token(2)}};
const std::vector<Offer> kSomeShared = {{"VFileSystem017", Token(3)},
                                        {"VMaterialSystem079", Token(4)},
                                        {"VBAllocTracker001", Token(5)}};
const std::vector<Offer> kOtherShared = {{"VFileSystem017", Token(6)},
                                         {"QueuedLoaderVersion001", Token(7)}};

ConsoleVariableInterface* AsConsole(void* token) {
    return static_cast<ConsoleVariableInterface*>(token);
}

}  // namespace

TEST(EngineConnection, FirstLevelGuardCountsAnEmptyListAsConnected) {
    const InterfaceFactory factories[] = {Factory<&kConsoleAndUtilities>};
    ConnectFirstLevel(factories, 0);
    EXPECT_TRUE(g_bFirstLevelConnected);
    EXPECT_TRUE(g_Asked.empty());

    ConnectFirstLevel(factories, 1);
    EXPECT_TRUE(g_Asked.empty()) << "already connected: the factory is not asked";
    EXPECT_EQ(g_pCVar, nullptr);

    DisconnectFirstLevel();
    EXPECT_FALSE(g_bFirstLevelConnected);
    ConnectFirstLevel(factories, 1);
    EXPECT_EQ(g_pCVar, AsConsole(Token(1)));
    EXPECT_EQ(cvar, AsConsole(Token(1)));
    EXPECT_EQ(g_pProcessUtilities, static_cast<void*>(Token(2)));
    EXPECT_FALSE(g_bReturnCodeSlotPassed);
    DisconnectFirstLevel();
}

TEST(EngineConnection, FirstLevelTakesEachInterfaceFromTheFirstFactoryOfferingIt) {
    const InterfaceFactory factories[] = {Factory<&kUtilitiesOnly>, Factory<&kConsoleAndUtilities>};
    ConnectFirstLevel(factories, 2);
    EXPECT_EQ(g_pCVar, AsConsole(Token(1)));
    EXPECT_EQ(cvar, g_pCVar);
    EXPECT_EQ(g_pProcessUtilities, static_cast<void*>(Token(0)));
    // The second factory is asked only for what the first left open.
    const std::vector<std::string> expected = {"VEngineCvar004", "VProcessUtils001",
                                               "VEngineCvar004"};
    EXPECT_EQ(g_Asked, expected);

    DisconnectFirstLevel();
    EXPECT_EQ(cvar, nullptr);
    EXPECT_EQ(g_pCVar, nullptr);
    EXPECT_EQ(g_pProcessUtilities, nullptr);
}

TEST(EngineConnection, DisconnectingAnUnconnectedFirstLevelLeavesThePointersAlone) {
    g_pCVar = AsConsole(Token(1));
    DisconnectFirstLevel();
    EXPECT_EQ(g_pCVar, AsConsole(Token(1)));
    g_pCVar = nullptr;
}

TEST(EngineConnection, SecondLevelOnlyFillsGapsAndDisconnectKeepsTheTracker) {
    const InterfaceFactory factories[] = {Factory<&kSomeShared>, Factory<&kOtherShared>};
    ConnectSecondLevel(factories, 2);
    EXPECT_EQ(g_pFileSystem, Token(3)) << "the first factory that answers wins";
    EXPECT_EQ(g_pMaterialSystem, Token(4));
    EXPECT_EQ(g_pMaterialSystemAlias, Token(4));
    EXPECT_EQ(g_pVertexBufferAllocTracker, Token(5));
    EXPECT_EQ(g_pQueuedLoader, Token(7));
    EXPECT_EQ(g_pInputSystem, nullptr);
    EXPECT_FALSE(g_bReturnCodeSlotPassed);
    // Eleven names from the first factory, then only the eight it left open.
    EXPECT_EQ(g_Asked.size(), 11u + 8u);
    EXPECT_EQ(g_Asked.front(), "VFileSystem017");
    EXPECT_EQ(g_Asked.back(), "QueuedLoaderVersion001");

    g_Asked.clear();
    ConnectSecondLevel(factories, 1);
    EXPECT_EQ(g_Asked.size(), 7u) << "a second call asks only for the gaps";

    DisconnectSecondLevel();
    for (void* pointer : {g_pFileSystem, g_pMaterialSystem, g_pMaterialSystemAlias, g_pInputSystem,
                          g_pNetworkSystem, g_pMaterialSystemHardwareConfig, g_pDebugTextureInfo,
                          g_pColorCorrection, g_pP4, g_pModelLibrary, g_pQueuedLoader}) {
        EXPECT_EQ(pointer, nullptr);
    }
    EXPECT_EQ(g_pVertexBufferAllocTracker, Token(5));
}
