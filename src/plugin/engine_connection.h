#pragma once

#include "interfaces/console_variable_interface.h"
#include "interfaces/interface_factory.h"

// Process-wide pointers to the engine's shared interfaces, filled from the engine's
// factories at load and cleared at unload.

// First level: the console, exported by name for the engine's support libraries.
extern "C" ConsoleVariableInterface* cvar;
extern "C" ConsoleVariableInterface* g_pCVar;
extern ProcessUtilitiesInterface* g_pProcessUtilities;
extern bool g_bFirstLevelConnected;

// Second level: held for the shared libraries; this library reads none of them. The file
// system here is a separate variable from the plugin's own.
extern void* g_pFileSystem;
extern void* g_pMaterialSystem;
extern void* g_pMaterialSystemAlias;
extern void* g_pInputSystem;
extern void* g_pNetworkSystem;
extern void* g_pMaterialSystemHardwareConfig;
extern void* g_pDebugTextureInfo;
extern void* g_pVertexBufferAllocTracker;
extern void* g_pColorCorrection;
extern void* g_pP4;
extern void* g_pModelLibrary;
extern void* g_pQueuedLoader;

void ConnectFirstLevel(const InterfaceFactory* factories, int count);
void ConnectSecondLevel(const InterfaceFactory* factories, int count);
void DisconnectSecondLevel();
void DisconnectFirstLevel();
