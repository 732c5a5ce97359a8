#include "plugin/engine_connection.h"

#include "interfaces/file_system.h"

constinit ConsoleVariableInterface* cvar = nullptr;
constinit ConsoleVariableInterface* g_pCVar = nullptr;
constinit ProcessUtilitiesInterface* g_pProcessUtilities = nullptr;
constinit bool g_bFirstLevelConnected = false;

constinit void* g_pFileSystem = nullptr;
constinit void* g_pMaterialSystem = nullptr;
constinit void* g_pMaterialSystemAlias = nullptr;
constinit void* g_pInputSystem = nullptr;
constinit void* g_pNetworkSystem = nullptr;
constinit void* g_pMaterialSystemHardwareConfig = nullptr;
constinit void* g_pDebugTextureInfo = nullptr;
constinit void* g_pVertexBufferAllocTracker = nullptr;
constinit void* g_pColorCorrection = nullptr;
constinit void* g_pP4 = nullptr;
constinit void* g_pModelLibrary = nullptr;
constinit void* g_pQueuedLoader = nullptr;

namespace {

struct SecondLevelSlot {
    const char* version;
    void** pointer;
    // The engine's unload leaves the allocation tracker in place; it is the one pointer
    // DisconnectSecondLevel does not clear.
    bool clearedOnDisconnect = true;
};

// The order in which each factory is asked.
const SecondLevelSlot kSecondLevel[] = {
    {kFileSystemVersion, &g_pFileSystem},
    {"VMaterialSystem079", &g_pMaterialSystem},
    {"InputSystemVersion001", &g_pInputSystem},
    {"NetworkSystemVersion001", &g_pNetworkSystem},
    {"MaterialSystemHardwareConfig012", &g_pMaterialSystemHardwareConfig},
    {"DebugTextureInfo001", &g_pDebugTextureInfo},
    {"VBAllocTracker001", &g_pVertexBufferAllocTracker, false},
    {"COLORCORRECTION_VERSION_1", &g_pColorCorrection},
    {"VP4001", &g_pP4},
    {"VMDLLIB001", &g_pModelLibrary},
    {"QueuedLoaderVersion001", &g_pQueuedLoader},
};

}  // namespace

void ConnectFirstLevel(const InterfaceFactory* factories, int count) {
    if (g_bFirstLevelConnected) return;
    // Set before count is looked at: an empty list still counts as connected.
    g_bFirstLevelConnected = true;
    for (int i = 0; i < count; ++i) {
        if (g_pCVar == nullptr) {
            g_pCVar = static_cast<ConsoleVariableInterface*>(
                factories[i](kConsoleVariableVersion, nullptr));
            cvar = g_pCVar;
        }
        if (g_pProcessUtilities == nullptr) {
            g_pProcessUtilities = static_cast<ProcessUtilitiesInterface*>(
                factories[i](kProcessUtilitiesVersion, nullptr));
        }
    }
}

void ConnectSecondLevel(const InterfaceFactory* factories, int count) {
    for (int i = 0; i < count; ++i) {
        for (const SecondLevelSlot& slot : kSecondLevel) {
            if (*slot.pointer == nullptr) *slot.pointer = factories[i](slot.version, nullptr);
        }
        // Both material-system variables come from the one answer.
        g_pMaterialSystemAlias = g_pMaterialSystem;
    }
}

void DisconnectSecondLevel() {
    for (const SecondLevelSlot& slot : kSecondLevel) {
        if (slot.clearedOnDisconnect) *slot.pointer = nullptr;
    }
    g_pMaterialSystemAlias = nullptr;
}

void DisconnectFirstLevel() {
    if (!g_bFirstLevelConnected) return;
    cvar = nullptr;
    g_pCVar = nullptr;
    g_pProcessUtilities = nullptr;
    g_bFirstLevelConnected = false;
}
