#pragma once

#include <cstdint>

#include "interfaces/script_runtime.h"

extern "C" {
// MountOtherGame(path: string, appid: number): pushes nothing.
int MountOtherGame(ScriptState state);
// IsGameMounted(appid: number): pushes whether an earlier mount of appid succeeded.
int IsGameMounted(ScriptState state);
}

// Adds path under "GAME", asks the engine to mount the application's content and reports
// the outcome to the script through script.
void MountGame(ScriptInterface* script, const char* path, std::int32_t appid);

// The id the file system is given: the appid negated in 32-bit two's complement, so the
// most negative id stays itself.
constexpr std::int32_t NegatedAppId(std::int32_t appid) {
    return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(appid));
}
