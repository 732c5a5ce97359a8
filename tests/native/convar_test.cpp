// Console entries, their pending list and registration passes, and console variable values.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <iomanip>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "convar/command_registration.h"
#include "convar/empty_console_variable.h"
#include "plugin/engine_connection.h"
#include "tier0_testing.h"

namespace {

using Log = std::vector<std::string>;
Log g_Log;

// Logs the parts separated by spaces.
template <typename First, typename... Rest>
void Note(const First& first, const Rest&... rest) {
    std::ostringstream line;
    line << std::setprecision(8) << first;
    ((line << ' ' << rest), ...);
    g_Log.push_back(line.str());
}

// As an accessor it takes nothing and hands nothing on.
class RecordingConsole final : public ConsoleVariableInterface, public IConCommandBaseAccessor {
public:
    int AllocateOwnerIdentifier() override {
        Note("identifier");
        return nextIdentifier++;
    }
    void RegisterCommand(ConCommandBase* entry) override {
        Note("register", entry->Name(), entry->FlagBits());
    }
    void UnregisterOwner(int identifier) override { Note("unregister", identifier); }
    void NotifyValueChanged(ConVar* variable, const char* oldText, float oldFloat) override {
        Note("notify", variable->Name(), oldText, oldFloat);
    }
    bool AcceptCommand(ConCommandBase* entry) override {
        Note("accept", entry->Name());
        return false;
    }
    int nextIdentifier = 70;
};

RecordingConsole g_Console;

struct Console : testing::Test {
    void SetUp() override {
        g_Log.clear();
        g_Console.nextIdentifier = 70;
        g_pCVar = &g_Console;
    }
};

void RecordChange(IConVar* variable, const char* oldText, float oldFloat) {
    const auto* now = static_cast<ConVar*>(variable);
    Note("callback", oldText, oldFloat, "now", now->ValueText(), now->AsFloat());
}

// Applies each step (s, f, i: ApplyString, ApplyFloat, ApplyInt of the rest; S, F, I: the view's
// assignments; n: a null text; -: none); answers text, float, int, and "told" if listeners heard.
Log Assign(ConVar& variable, std::initializer_list<std::string> steps) {
    Log outcomes;
    for (const std::string& step : steps) {
        g_Log.clear();
        const char* text = step.c_str() + 1;
        if (step[0] == 's' || step[0] == 'n') variable.ApplyString(step[0] == 's' ? text : nullptr);
        if (step[0] == 'f') variable.ApplyFloat(std::strtof(text, nullptr));
        if (step[0] == 'i') variable.ApplyInt(std::atoi(text));
        if (step[0] == 'S') static_cast<IConVar&>(variable).AssignString(text);
        if (step[0] == 'F') static_cast<IConVar&>(variable).AssignFloat(std::strtof(text, nullptr));
        if (step[0] == 'I') static_cast<IConVar&>(variable).AssignInt(std::atoi(text));
        std::ostringstream out;
        out << std::setprecision(8) << variable.ValueText() << ' ' << variable.AsFloat() << ' '
            << variable.AsInt() << (g_Log.empty() ? "" : " told");
        outcomes.push_back(out.str());
    }
    return outcomes;
}

}  // namespace

TEST_F(Console, PassHandsThePendingListOverNewestFirstEachWithTheAddedFlags) {
    ConCommandBase first("first", nullptr, 0x4);
    ConCommandBase dropped("dropped");
    auto gone = std::make_unique<ConCommandBase>("gone");
    ConCommandBase second("second");
    ConCommandBase unlisted("unlisted", nullptr, COMMAND_FLAG_UNLISTED);
    ConCommandBase third("third");
    // Destroyed or set up again: gone, newest again, or unlisted without cutting off the rest.
    gone.reset();
    third.SetUpEntry("third", nullptr, 0);
    second.SetUpEntry("second", nullptr, 0);
    dropped.SetUpEntry("dropped", nullptr, COMMAND_FLAG_UNLISTED);
    RegisterConsoleCommands(0x10, nullptr);
    EXPECT_EQ(g_Log, (Log{"identifier", "register second 16", "register third 16",
                          "register first 20", "register  16"}));

    // While registered, entries are handed over as set up: unlisted too, without added flags.
    g_Log.clear();
    ConCommandBase late("late", nullptr, 0x2);
    ConCommandBase lateUnlisted("late-unlisted", nullptr, COMMAND_FLAG_UNLISTED);
    EXPECT_EQ(g_Log, (Log{"register late 2", "register late-unlisted 1"}));
}

TEST_F(Console, PassWaitsForTheConsoleRunsOnceAndAfterUnregistrationTakesOnlyNewEntries) {
    UnregisterConsoleCommands();  // nothing registered, nothing to drop
    g_pCVar = nullptr;
    RegisterConsoleCommands(0, nullptr);
    EXPECT_EQ(s_pPendingCommands, &s_BlankVariable);  // pending since start-up

    g_pCVar = &g_Console;
    RegisterConsoleCommands(0, &g_Console);
    RegisterConsoleCommands(0x10, nullptr);  // already registered: nothing
    UnregisterConsoleCommands();
    EXPECT_EQ(s_nModuleId, -1);
    ConCommandBase late("late");
    RegisterConsoleCommands(0, nullptr);
    EXPECT_EQ(g_Log, (Log{"identifier", "accept ", "unregister 70", "accept late", "identifier",
                          "register late 0"}));

    // The accessor outlives the console: entries set up then are dropped quietly.
    UnregisterConsoleCommands();
    g_pCVar = nullptr;
    const ConCommandBase orphan("orphan");
    EXPECT_EQ(g_Log.back(), "unregister 71");
}

TEST_F(Console, AssignmentsKeepTheTextAsGivenAndClampOnlyWhatIsAssigned) {
    // The default stands unclamped, its integer from the number, not the float. Clamped texts
    // take the "%f" form, texts on either bound are kept; then a null text, an unchanged one.
    ConVar text("t", "16777217", 0, nullptr, true, -3.0f, true, 1.0f);
    EXPECT_EQ(Assign(text, {"-", "s0.5xyz", "s5", "s1", "s-2.7", "s-3", "s-9", "n", "s"}),
              (Log{"16777217 16777216 16777217", "0.5xyz 0.5 0 told", "1.000000 1 1 told",
                   "1 1 1 told", "-2.7 -2.7 -2 told", "-3 -3 -3 told", "-3.000000 -3 -3 told",
                   " 0 0 told", " 0 0 told"}));
    // A number equal to the current value changes nothing; it is compared unclamped.
    ConVar number("n", "0", 0, nullptr, true, 0.0f, true, 5.5f);
    EXPECT_EQ(Assign(number, {"f0", "i0", "i7", "f6"}),
              (Log{"0 0 0", "0 0 0", "5 5.5 5 told", "5.500000 5.5 5 told"}));
    ConVar crossed("c", "0", 0, nullptr, true, 4.0f, true, 2.0f);  // the lower bound wins
    EXPECT_EQ(Assign(crossed, {"f3", "i9"}), (Log{"4.000000 4 4 told", "2 2 2 told"}));
}

TEST(ConsoleVariable, IntegerFormOfNaNOfOutOfRangeAndOfUnroundedValuesIsDefined) {
    ConVar variable("v", "-1e10");
    EXPECT_EQ(
        Assign(variable, {"-", "snan", "s3e9", "s1e40", "fnan", "f-3e9", "i16777217"}),
        (Log{"-1e10 -1e+10 -2147483648", "nan nan 0", "3e9 3e+09 2147483647", "1e40 inf 2147483647",
             "nan nan 0", "-3000000000.000000 -3e+09 -2147483648", "16777217 16777216 16777217"}));
}

TEST_F(Console, ListenersHearTheOldValueWholeAfterTheNewOneIsInPlace) {
    ConVar variable("v", "1.5", 0, nullptr, false, 0.0f, false, 0.0f, RecordChange);
    Assign(variable, {"s2"});
    EXPECT_EQ(g_Log, (Log{"callback 1.5 1.5 now 2 2", "notify v 1.5 1.5"}));
    // The buffer only grows; a long old text reaches the listeners whole, or, without heap
    // for its copy, cut rather than overrunning anything.
    const std::string longText(5000, '7');
    Assign(variable, {"s" + longText, "s4"});
    EXPECT_EQ(g_Log.front(), "callback " + longText + " inf now 4 4");
    Assign(variable, {"s" + longText});
    Tier0Test_FailAllocation(1);
    Assign(variable, {"s5"});
    EXPECT_EQ(g_Log.front(), "callback " + longText.substr(0, 4096) + " inf now 5 5");
    // Without a bigger buffer the text stays, and so does the value: as nothing changed,
    // nobody is told.
    Tier0Test_FailAllocation(1);
    EXPECT_EQ(Assign(variable, {"s" + std::string(6000, 'x')}), Log{"5 5 5"});
    EXPECT_EQ(variable.TextCapacity(), 5001);
    Tier0Test_FailAllocation(1);
    ConVar starved("s", "42");  // no buffer at all: the empty text, and 0
    EXPECT_EQ(Assign(starved, {"-"}), Log{" 0 0"});
    for (const char* step : {"f2.5", "i7"}) {
        Tier0Test_FailAllocation(1);
        EXPECT_EQ(Assign(starved, {step}), Log{" 0 0"}) << step;
    }
    g_pCVar = nullptr;  // with no console connected the callback still runs
    Assign(variable, {"i3"});
    EXPECT_EQ(g_Log, Log{"callback 5 5 now 3 3"});
}

TEST_F(Console, AChangeCallsTheEnginesAllocatorOnlyWhenTheBufferGrows) {
    // Old texts up to 4096 characters are copied aside in the change's own storage.
    const std::string longest(4096, '4');
    ConVar variable("v", longest.c_str(), 0, nullptr, false, 0.0f, false, 0.0f, RecordChange);
    Tier0Test_ResetCounters();
    Assign(variable, {"s2"});
    EXPECT_EQ(g_Log.front(), "callback " + longest + " inf now 2 2");
    Assign(variable, {"f2.5", "i7", "s" + longest, "s" + longest});
    EXPECT_EQ(Tier0Test_RecordCount(), 0) << "not even a release of null";
}

TEST_F(Console, KeepStringFreezesTheTextAndTheBlankVariableIgnoresItsInterface) {
    ConVar frozen("f", "1", COMMAND_FLAG_KEEP_STRING, nullptr, false, 0, false, 0, RecordChange);
    EXPECT_EQ(Assign(frozen, {"f3", "i4", "s5"}), (Log{"1 3 3", "1 4 4", "1 5 5"}));
    ConVar plain("p", nullptr);
    EXPECT_EQ(Assign(plain, {"-", "Sx", "F0.25", "I3"}),
              (Log{" 0 0", "x 0 0 told", "0.250000 0.25 0 told", "3 3 3 told"}));
    EXPECT_EQ(Assign(s_BlankVariable, {"S5", "F5", "I5"}), (Log{"0 0 0", "0 0 0", "0 0 0"}));
    EXPECT_STREQ(static_cast<IConVar&>(s_BlankVariable).Name(), "");
    s_BlankVariable.SetFlagBits(COMMAND_FLAG_KEEP_STRING);  // obeyed, though never reported
    EXPECT_EQ(Assign(s_BlankVariable, {"i4"}), Log{"0 4 4"});
}

// The Windows destructor entry's body, and the C++ destructor that is the Linux entry pair.
TEST(ConsoleVariable, DestructorEntriesDestroyFreeOnlyWhenAskedAndLeaveThePendingList) {
    Tier0AllocatorCounters before{};
    Tier0Test_ReadCounters(&before);
    // Bit 0 clear: destroyed in place, the text given back, the object's memory kept.
    alignas(ConVar) unsigned char storage[sizeof(ConVar)];
    auto* kept = new (storage) ConVar("kept", "12345");
    EXPECT_EQ(DestroyInPlace(kept, 0), static_cast<void*>(storage));
    // Bit 0 set: the memory goes back as well (the sanitizer build checks the pairing).
    auto* freed = new ConVar("freed", "1");
    const auto freedAt = reinterpret_cast<std::uintptr_t>(freed);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(DestroyInPlace(freed, kDestructorFreesMemory)),
              freedAt);
    // Through the base class, as the engine holds an entry.
    ConCommandBase* deleted = new ConVar("deleted", "12");
    const auto deletedAt = reinterpret_cast<std::uintptr_t>(deleted);
    delete deleted;
    Tier0AllocatorCounters after{};
    Tier0Test_ReadCounters(&after);
    EXPECT_EQ(after.liveBlocks, before.liveBlocks);
    // None stays behind on the pending list.
    for (const ConCommandBase* entry = s_pPendingCommands; entry != nullptr;
         entry = entry->Link()) {
        const auto at = reinterpret_cast<std::uintptr_t>(entry);
        EXPECT_TRUE(entry != static_cast<void*>(storage) && at != freedAt && at != deletedAt);
    }
}
