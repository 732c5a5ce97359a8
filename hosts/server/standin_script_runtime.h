#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "script_runtime.h"

struct ScriptExpression;

// A value of the stand-in script language.
struct ScriptValue {
    enum class Type { Nil, Boolean, Number, String };
    Type type = Type::Nil;
    bool boolean = false;
    double number = 0.0;
    std::string text;

    static ScriptValue Number(double number);
    static ScriptValue String(std::string text);
    static ScriptValue Boolean(bool boolean);
};

// Text as print shows it: strings bare, numbers without trailing zeros.
std::string ShowValue(const ScriptValue& value);

// The stand-in of a game's script runtime: one script state, a table of global native
// functions that modules register, and the interfaces a native module is handed. A native
// call whose argument has the wrong type is refused the way a real runtime refuses it: the
// function does not go on, the statement fails with an error naming the function and the
// argument, and the script carries on with its next line.
class StandInScriptRuntime {
public:
    StandInScriptRuntime();
    ~StandInScriptRuntime();
    StandInScriptRuntime(const StandInScriptRuntime&) = delete;
    StandInScriptRuntime& operator=(const StandInScriptRuntime&) = delete;

    // What vesk_open receives.
    ScriptHostInterface* Host();

    // Names registered by modules, in registration order (a repeated name listed once).
    const std::vector<std::string>& GlobalNames() const { return m_GlobalOrder; }

    struct RunCounts {
        int statements = 0;  // statements attempted
        int errors = 0;      // statements that failed: unreadable, unknown function, refused
    };
    // Runs a script, showing each statement and what it caused.
    RunCounts Run(const std::string& source);

    // Calls a registered global quietly with the given arguments and returns its first
    // result; nothing when the function is unknown or the call was refused.
    std::optional<ScriptValue> CallQuietly(const std::string& name,
                                           const std::vector<ScriptValue>& arguments);

private:
    class StandInHost;
    class StandInManager;
    class StandInInterface;
    struct CallFrame;

    // The values of an evaluated expression; nothing when it failed (the error has been
    // shown).
    std::optional<std::vector<ScriptValue>> Evaluate(const ScriptExpression& expression);
    std::optional<std::vector<ScriptValue>> CallNative(const std::string& name,
                                                       ScriptFunction function,
                                                       const std::vector<ScriptValue>& arguments);

    StandInHost* m_pHost;
    StandInManager* m_pManager;
    StandInInterface* m_pInterface;
    std::map<std::string, ScriptFunction> m_Globals;
    std::vector<std::string> m_GlobalOrder;
    CallFrame* m_pCurrentFrame = nullptr;
    bool m_bQuiet = false;
};
