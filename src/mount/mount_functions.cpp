#include "mount/mount_functions.h"

#include <cstddef>
#include <cstdio>

#include "interfaces/file_system.h"
#include "mount/mounted_app_registry.h"
#include "mount/script_module.h"
#include "plugin/server_plugin.h"

namespace {

constexpr char kMountPathIdentifier[] = "GAME";

// Room for the longest report, a refusal of the most negative id with its reason.
constexpr int kReportSize = 128;

// The engine's refusal is reported as the bare text; a refusal of the library's own says
// why after it.
void ReportFailedMount(ScriptInterface* script, std::int32_t appid, const char* reason = nullptr) {
    char report[kReportSize];
    const int length = std::snprintf(report, sizeof(report), "[NOT OK] Unable to mount appid %d",
                                     static_cast<int>(appid));
    if (reason != nullptr) {
        std::snprintf(report + length, sizeof(report) - static_cast<std::size_t>(length), ": %s",
                      reason);
    }
    script->ReportFailure(report);
}

}  // namespace

void MountGame(ScriptInterface* script, const char* path, std::int32_t appid) {
    if (script == nullptr) return;
    FileSystemInterface* fileSystem = g_pPluginFileSystem;
    // Refusals below leave the engine and the registry untouched.
    if (fileSystem == nullptr) {
        ReportFailedMount(script, appid, "the server plugin is not loaded");
        return;
    }
    if (path == nullptr) {
        ReportFailedMount(script, appid, "no content path given");
        return;
    }
    // Room for the record is made before the engine mounts anything, so a mount that
    // succeeds is always recorded and IsGameMounted never denies it.
    if (!g_MountedAppRegistry.Contains(appid) && !g_MountedAppRegistry.ReserveOne()) {
        ReportFailedMount(script, appid, "out of memory");
        return;
    }

    // The path stays added whatever the mount does.
    fileSystem->AppendSearchPath(path, kMountPathIdentifier, kSearchPathAtTail);
    if (fileSystem->MountApplicationContent(NegatedAppId(appid)) == kMountFailed) {
        ReportFailedMount(script, appid);
        return;
    }
    g_MountedAppRegistry.Record(appid);
    char report[kReportSize];
    std::snprintf(report, sizeof(report), "[OK] Mounted appid %d\n", static_cast<int>(appid));
    // The text is already formatted and holds no '%': it is passed as the format itself.
    script->PrintMessage(report);
}

int MountOtherGame(ScriptState state) {
    // Before vesk_open there is no interface to read arguments from or report through.
    ScriptInterface* script = ScriptInterfaceFor(state);
    if (script == nullptr) return 0;
    // A mismatch makes the runtime refuse the call; these do not return then.
    script->RequireArgumentType(1, kScriptTypeString);
    script->RequireArgumentType(2, kScriptTypeNumber);
    const std::int32_t appid = script->ArgumentInteger(2);
    const char* path = script->ArgumentString(1);
    MountGame(script, path, appid);
    return 0;
}

int IsGameMounted(ScriptState state) {
    ScriptInterface* script = ScriptInterfaceFor(state);
    if (script == nullptr) return 0;  // nothing pushed
    script->RequireArgumentType(1, kScriptTypeNumber);
    const std::int32_t appid = script->ArgumentInteger(1);
    script->PushBoolean(g_MountedAppRegistry.Contains(appid) ? 1 : 0);
    return 1;
}
