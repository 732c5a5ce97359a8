// The console variable the real mount_plugin.dll registers, driven through the pointer it
// hands to the engine's console and the public headers only, as the engine drives it. The
// fields are also read at their fixed offsets, so a layout that differs from the engine's
// view shows up here.
#include <windows.h>

#include <climits>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fake_host.h"
#include "harness.h"

using harness::Check;
using harness::CheckEqual;
using harness::CheckText;

namespace {

using fake::Export;

fake::RecordingConsole g_Console;

template <typename Field>
Field At(const void* object, int offset) {
    Field value;
    std::memcpy(&value, static_cast<const char*>(object) + offset, sizeof(value));
    return value;
}

// The engine's offsets of the fields it reads.
constexpr int kFlagBitsOffset = 20;
constexpr int kInterfaceViewOffset = 24;
constexpr int kPrimaryOffset = 28;
constexpr int kValueTextOffset = 36;
constexpr int kTextCapacityOffset = 40;
constexpr int kAsFloatOffset = 44;
constexpr int kAsIntOffset = 48;

void CheckValue(const ConVar* variable, const char* text, float asFloat, int asInt) {
    CheckText(variable->ValueText(), text, "value text");
    CheckText(At<const char*>(variable, kValueTextOffset), text, "value text at its offset");
    CheckEqual(At<float>(variable, kAsFloatOffset), asFloat, "float at its offset");
    CheckEqual(At<int>(variable, kAsIntOffset), asInt, "integer at its offset");
}

const harness::Test kRegistered(
    "the blank variable is registered, laid out as the engine reads it", [] {
        fake::g_Engine = {nullptr, &g_Console};
        HMODULE module = LoadLibraryA("mount_plugin.dll");
        auto createInterface = Export<InterfaceFactory>(module, "CreateInterface");
        auto** exportedCVar = Export<ConsoleVariableInterface**>(module, "g_pCVar");
        auto** exportedCvar = Export<ConsoleVariableInterface**>(module, "cvar");
        if (!Check(createInterface != nullptr && exportedCVar != nullptr && exportedCvar != nullptr,
                   "exports")) {
            return;
        }
        auto* plugin =
            static_cast<IServerPluginCallbacks*>(createInterface(kServerPluginVersion, nullptr));
        Check(*exportedCVar == nullptr, "g_pCVar null before attach");
        plugin->AttachToEngine(fake::EngineFactory, fake::EngineFactory);
        Check(*exportedCVar == &g_Console && *exportedCvar == &g_Console,
              "cvar exports after attach");

        if (!CheckEqual(g_Console.registered.size(), std::size_t{1}, "entries registered")) return;
        ConCommandBase* entry = g_Console.registered[0];
        CheckEqual(entry->ModuleId(), 1234, "identifier of the entry");
        Check(!entry->IsCommandEntry(), "a variable, not a command");
        CheckText(entry->Name(), "", "name");
        CheckText(entry->Description(), "", "description");
        Check(!entry->HasAnyFlag(-1), "no flags reported");
        Check(!entry->IsAttached(), "not attached");
        CheckEqual(At<int>(entry, kFlagBitsOffset), 0, "flag word at its offset");

        auto* variable = static_cast<ConVar*>(entry);
        IConVar* view = variable;
        CheckEqual(reinterpret_cast<char*>(view) - reinterpret_cast<char*>(variable),
                   static_cast<std::ptrdiff_t>(kInterfaceViewOffset), "IConVar view offset");
        Check(At<ConVar*>(variable, kPrimaryOffset) == variable, "answers for itself");
        CheckValue(variable, "0", 0.0f, 0);
        CheckEqual(At<int>(variable, kTextCapacityOffset), 2, "capacity at its offset");

        view->AssignInt(5);
        view->AssignString("5");
        CheckText(view->Name(), "", "name through IConVar");
        Check(!view->HasAnyFlag(-1), "no flags through IConVar");
        CheckValue(variable, "0", 0.0f, 0);
        Check(g_Console.notifications.empty(), "IConVar assignments ignored");

        variable->ApplyInt(3);
        CheckValue(variable, "3", 3.0f, 3);
        if (CheckEqual(g_Console.notifications.size(), std::size_t{1}, "notifications")) {
            Check(g_Console.notifications[0].variable == variable, "notified with the ConVar");
            CheckEqual(g_Console.notifications[0].oldText, std::string("0"), "old text");
            CheckEqual(g_Console.notifications[0].oldFloat, 0.0f, "old float");
        }

        // The text's number must be rounded to single precision before it is truncated.
        variable->ApplyString("16777217");
        CheckValue(variable, "16777217", 16777216.0f, 16777216);
        variable->ApplyFloat(0.5f);
        CheckValue(variable, "0.500000", 0.5f, 0);
        variable->ApplyFloat(1e30f);
        CheckText(variable->ValueText(), "1000000015047466219876688855040", "cut %f form");
        variable->ApplyFloat(3e9f);
        CheckEqual(variable->AsInt(), INT_MAX, "integer of 3e9");
        variable->ApplyFloat(std::numeric_limits<float>::quiet_NaN());
        CheckEqual(variable->AsInt(), 0, "integer of NaN");

        const std::size_t before = g_Console.notifications.size();
        variable->SetFlagBits(COMMAND_FLAG_KEEP_STRING);
        variable->ApplyInt(9);
        CheckEqual(g_Console.notifications.size(), before, "frozen text sends nothing");
        CheckEqual(variable->AsInt(), 9, "integer still changes");

        plugin->DetachFromEngine();
        CheckEqual(g_Console.unregistered.size(), std::size_t{1}, "unregistrations");
        if (!g_Console.unregistered.empty())
            CheckEqual(g_Console.unregistered[0], 1234, "identifier");
        Check(*exportedCVar == nullptr && *exportedCvar == nullptr, "cvar exports after detach");

        // The pending list was handed over: a second load takes a new identifier, nothing more.
        plugin->AttachToEngine(fake::EngineFactory, fake::EngineFactory);
        CheckEqual(g_Console.identifiersIssued, 2, "identifiers issued");
        CheckEqual(g_Console.registered.size(), std::size_t{1}, "entries registered in all");
        plugin->DetachFromEngine();
        FreeLibrary(module);
    });

}  // namespace
