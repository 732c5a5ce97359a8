#pragma once

inline constexpr char kEngineServerVersion[] = "VEngineServer021";

// The engine-server interface: the plugin obtains and holds it but calls no operation,
// so its table is the engine's own business.
class EngineServerInterface;
