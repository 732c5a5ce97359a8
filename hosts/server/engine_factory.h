#pragma once

#include "interface_factory.h"

// The stand-in engine's interface factory: offers the interfaces a server would offer a
// plugin, by version string.
void* EngineFactory(const char* versionName, int* returnCode);

// Version strings the factory was asked for and refused, for the operator's eye.
void PrintRefusedInterfaces();
