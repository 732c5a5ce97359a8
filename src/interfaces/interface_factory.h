#pragma once

// The engine's factory shape: a version string and an optional return-code slot in, an
// interface pointer out (null when that version is not offered).
extern "C" {
using InterfaceFactory = void* (*)(const char* versionName, int* returnCode);
}

inline constexpr int kInterfaceFound = 0;
inline constexpr int kInterfaceNotFound = 1;
