#pragma once

// The script the demo runs when it is given none: what a server script does with the
// module, against the built-in catalogue (240, 300 and 4000 installed; 999 is not).
inline constexpr char kDefaultScriptName[] = "built-in demo script";
inline constexpr char kDefaultScript[] = R"(-- Nothing is mounted when the server starts.
print("mounted 240 at start:", IsGameMounted(240))

-- An installed application: its content is mounted and the module says [OK].
MountOtherGame("content/harbor", 240)
print("mounted 240 now:", IsGameMounted(240))

-- Mounting it again is harmless: [OK] again, and it is still recorded once.
MountOtherGame("content/harbor", 240)

-- An application that is not installed: [NOT OK], and it is not recorded.
MountOtherGame("content/missing", 999)
print("mounted 999:", IsGameMounted(999))

-- Arguments the wrong way round: the runtime refuses the call and the script goes on.
MountOtherGame(300, "content/valley")

-- The same call done right.
MountOtherGame("content/valley", 300)
print("mounted 240, 300, 4000:", IsGameMounted(240), IsGameMounted(300), IsGameMounted(4000))
)";
