// Console variable setters with arbitrary texts, floats, integers, bounds and flags, with
// and without a console connected and with refused allocations: the value text stays a
// terminated string inside its buffer, clamped values respect the bounds, a frozen text
// never changes, and listeners always get a readable old text.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "console_entries.h"
#include "fuzz_input.h"
#include "plugin/engine_connection.h"
#include "tier0_testing.h"

void FuzzFailure(const char* what) {
    std::fprintf(stderr, "console variable: %s\n", what);
    std::abort();
}

namespace {

void RequireReadable(const char* text) {
    if (text == nullptr) FuzzFailure("null old text");
    volatile std::size_t length = std::strlen(text);  // ASan reports a freed or cut text
    (void)length;
}

class CheckingConsole final : public ConsoleVariableInterface {
public:
    int AllocateOwnerIdentifier() override { return 1; }
    void RegisterCommand(ConCommandBase*) override {}
    void UnregisterOwner(int) override {}
    void NotifyValueChanged(ConVar* variable, const char* oldString, float) override {
        if (variable == nullptr) FuzzFailure("notified without a variable");
        RequireReadable(oldString);
        RequireReadable(variable->ValueText());
    }
};

CheckingConsole g_Console;

void OnChange(IConVar* variable, const char* oldText, float) {
    if (variable == nullptr) FuzzFailure("callback without a variable");
    RequireReadable(oldText);
}

void CheckValue(const ConVar& variable, bool frozen, const std::string& frozenText, bool clamped,
                bool hasLower, float lower, bool hasUpper, float upper) {
    const char* text = variable.ValueText();
    if (text == nullptr) FuzzFailure("no value text");
    const std::size_t length = std::strlen(text);
    if (variable.TextCapacity() > 0 &&
        length >= static_cast<std::size_t>(variable.TextCapacity())) {
        FuzzFailure("value text longer than its buffer");
    }
    if (frozen && frozenText != text) FuzzFailure("a frozen text changed");
    const float value = variable.AsFloat();
    if (!clamped || std::isnan(value)) return;
    // Crossed bounds have no value inside both: a value below the lower one becomes the
    // lower one, a value above the upper one becomes the upper one.
    if (hasLower && hasUpper && lower > upper) return;
    if (hasLower && value < lower) FuzzFailure("value below the lower bound");
    if (hasUpper && value > upper) FuzzFailure("value above the upper bound");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    g_pCVar = (input.Byte() & 1) != 0 ? &g_Console : nullptr;
    const bool frozen = (input.Byte() & 1) != 0;
    const std::string defaultText = input.Text(48);
    const bool hasLower = (input.Byte() & 1) != 0;
    const float lower = input.Take<float>();
    const bool hasUpper = (input.Byte() & 1) != 0;
    const float upper = input.Take<float>();

    Tier0Test_FailAllocation(input.Byte() % 4);
    ConVar variable("fuzz_variable", defaultText.c_str(),
                    COMMAND_FLAG_UNLISTED | (frozen ? COMMAND_FLAG_KEEP_STRING : 0), nullptr,
                    hasLower, lower, hasUpper, upper, OnChange);
    const std::string frozenText = variable.ValueText() != nullptr ? variable.ValueText() : "";
    // NaN bounds compare false and clamp nothing; they are outside what the checks cover.
    const bool boundsComparable = !std::isnan(lower) && !std::isnan(upper);
    bool clamped = false;

    IConVar& assignments = variable;
    while (!input.Empty()) {
        // The default is never clamped, and a setter given the current value, or refused a
        // bigger buffer, changes nothing; from the first real change on, the bounds hold.
        std::uint32_t floatBefore;
        const float valueBefore = variable.AsFloat();
        std::memcpy(&floatBefore, &valueBefore, sizeof(floatBefore));
        const int intBefore = variable.AsInt();
        const std::uint8_t operation = input.Byte() % 7;
        switch (operation) {
            case 0:
                variable.ApplyString(input.Text(80).c_str());
                break;
            case 1:
                variable.ApplyFloat(input.Take<float>());
                break;
            case 2:
                variable.ApplyInt(input.Take<int>());
                break;
            case 3:
                assignments.AssignString(input.Text(80).c_str());
                break;
            case 4:
                assignments.AssignFloat(input.Take<float>());
                break;
            case 5:
                assignments.AssignInt(input.Take<int>());
                break;
            default:
                Tier0Test_FailAllocation(1 + input.Byte() % 3);
                continue;
        }
        std::uint32_t floatAfter;
        const float valueAfter = variable.AsFloat();
        std::memcpy(&floatAfter, &valueAfter, sizeof(floatAfter));
        if (floatAfter != floatBefore || variable.AsInt() != intBefore) {
            clamped = boundsComparable;
        }
        CheckValue(variable, frozen, frozenText, clamped, hasLower, lower, hasUpper, upper);
    }
    Tier0Test_FailAllocation(0);
    g_pCVar = nullptr;
    return 0;
}
