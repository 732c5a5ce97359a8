#pragma once

#include <stdint.h>

#include "engine_destructor.h"
#include "interface_factory.h"

inline constexpr char kServerPluginVersion[] = "ISERVERPLUGINCALLBACKS002";

// One 32-bit argument word of an engine notification the plugin ignores.
using PluginArgument = uintptr_t;

// The engine drives a server plugin through this table. Only load, unload and the
// description carry meaning for this plugin; the other operations keep the engine's
// meaning, and what binds here is the number of argument words each receives.
class IServerPluginCallbacks {
public:
    virtual bool AttachToEngine(InterfaceFactory interfaceFactory,
                                InterfaceFactory gameServerFactory) = 0;           // 1
    virtual void DetachFromEngine() = 0;                                           // 2
    virtual void Operation03() = 0;                                                // 3
    virtual void Operation04() = 0;                                                // 4
    virtual const char* DescribePlugin() = 0;                                      // 5
    virtual void Operation06(PluginArgument) = 0;                                  // 6
    virtual void Operation07(PluginArgument, PluginArgument, PluginArgument) = 0;  // 7
    virtual void Operation08(PluginArgument) = 0;                                  // 8
    virtual void Operation09() = 0;                                                // 9
    virtual void Operation10(PluginArgument) = 0;                                  // 10
    virtual void Operation11(PluginArgument) = 0;                                  // 11
    virtual void Operation12(PluginArgument, PluginArgument) = 0;                  // 12
    virtual void Operation13(PluginArgument) = 0;                                  // 13
    virtual void Operation14(PluginArgument) = 0;                                  // 14
    virtual int Operation15(PluginArgument, PluginArgument, PluginArgument, PluginArgument,
                            PluginArgument, PluginArgument) = 0;  // 15
    virtual int Operation16(PluginArgument, PluginArgument) = 0;  // 16
    virtual int Operation17(PluginArgument, PluginArgument) = 0;  // 17
    virtual void Operation18(PluginArgument, PluginArgument, PluginArgument, PluginArgument,
                             PluginArgument) = 0;  // 18

protected:
    ~IServerPluginCallbacks() = default;
};

// The engine's game-event listener; the plugin registers for no events.
class IGameEventListener : public EngineDestructorEntry {
public:
    // 1: the destructor.
    virtual void HandleGameEvent(void* event) = 0;  // 2

protected:
    ~IGameEventListener() = default;
};
