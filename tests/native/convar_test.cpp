// Console entries: the pending list and the registration passes, and console variable
// values, against a console and a callback that write every call into one ordered log.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "convar/command_registration.h"
#include "convar/empty_console_variable.h"
#include "plugin/engine_connection.h"
#include "tier0_testing.h"

namespace {

using Log = std::vector<std::string>;
Log g_Log;

std::string Show(const char* text, float value) {
    char number[32];
    std::snprintf(number, sizeof(number), " %g", static_cast<double>(value));
    return std::string(text) + number;
}

class RecordingConsole final : public ConsoleVariableInterface {
public:
    int AllocateOwnerIdentifier() override {
        g_Log.push_back("identifier");
        return m_nNextIdentifier++;
    }
    void RegisterCommand(ConCommandBase* command) override {
        g_Log.push_back("register " + std::string(command->Name()) + " " +
                        std::to_string(command->FlagBits()));
    }
    void UnregisterOwner(int identifier) override {
        g_Log.push_back("unregister " + std::to_string(identifier));
    }
    void NotifyValueChanged(ConVar* variable, const char* oldString, float oldFloat) override {
        notified = variable;
        g_Log.push_back("notify " + Show(oldString, oldFloat));
    }
    ConVar* notified = nullptr;

private:
    int m_nNextIdentifier = 70;
};

class RecordingAccessor final : public IConCommandBaseAccessor {
public:
    bool AcceptCommand(ConCommandBase* entry) override {
        g_Log.push_back("accept " + std::string(entry->Name()));
        return false;
    }
};

std::vector<ConCommandBase*> PendingList() {
    std::vector<ConCommandBase*> entries;
    for (ConCommandBase* entry = s_pPendingCommands; entry != nullptr; entry = entry->Link()) {
        entries.push_back(entry);
    }
    return entries;
}

class Registration : public testing::Test {
protected:
    void SetUp() override { g_pCVar = &console; }
    void TearDown() override { g_pCVar = nullptr; }
    RecordingConsole console;
};

}  // namespace

TEST(RegistrationState, TheStaticVariableIsPendingFromStartUp) {
    EXPECT_EQ(PendingList(), std::vector<ConCommandBase*>{&s_BlankVariable});
    EXPECT_EQ(s_nModuleId, -1);
    EXPECT_FALSE(s_bCommandsRegistered);
    EXPECT_EQ(s_pActiveAccessor, nullptr);
}

TEST_F(Registration, PassHandsEntriesOverNewestFirstEachWithTheAddedFlags) {
    ConCommandBase first("first", nullptr, 0x4);
    ConCommandBase second("second");
    ConCommandBase unlisted("unlisted", nullptr, COMMAND_FLAG_UNLISTED);
    ConCommandBase third("third");

    RegisterConsoleCommands(0x10, nullptr);
    EXPECT_EQ(g_Log, (Log{"identifier", "register third 16", "register second 16",
                          "register first 20", "register  16"}));
    EXPECT_EQ(unlisted.FlagBits(), COMMAND_FLAG_UNLISTED);
    EXPECT_EQ(unlisted.ModuleId(), 70);
    EXPECT_EQ(s_pPendingCommands, nullptr);

    // While registered, an entry is handed over as it is set up, unlisted or not, and
    // without the added flags.
    g_Log.clear();
    ConCommandBase late("late", nullptr, 0x2);
    ConCommandBase lateUnlisted("late-unlisted", nullptr, COMMAND_FLAG_UNLISTED);
    EXPECT_EQ(g_Log, (Log{"register late 2", "register late-unlisted 1"}));
    EXPECT_EQ(PendingList(), std::vector<ConCommandBase*>{&late});
}

TEST_F(Registration, PassWaitsForTheConsoleAndRunsOnce) {
    g_pCVar = nullptr;
    RegisterConsoleCommands(0, nullptr);
    EXPECT_FALSE(s_bCommandsRegistered);
    EXPECT_EQ(s_nModuleId, -1);
    EXPECT_EQ(PendingList(), std::vector<ConCommandBase*>{&s_BlankVariable});

    g_pCVar = &console;
    RegisterConsoleCommands(0, nullptr);
    RecordingAccessor other;
    RegisterConsoleCommands(0x10, &other);
    EXPECT_EQ(g_Log, (Log{"identifier", "register  0"}));
}

TEST_F(Registration, AfterUnregistrationTheAccessorStaysAndASecondPassTakesOnlyNewEntries) {
    UnregisterConsoleCommands();
    EXPECT_TRUE(g_Log.empty()) << "nothing registered, nothing to drop";

    RecordingAccessor accessor;
    RegisterConsoleCommands(0, &accessor);
    UnregisterConsoleCommands();
    EXPECT_EQ(s_BlankVariable.ModuleId(), -1);
    ConCommandBase late("late");
    RegisterConsoleCommands(0, nullptr);
    EXPECT_EQ(late.ModuleId(), 71);
    EXPECT_EQ(g_Log, (Log{"identifier", "accept ", "unregister 70", "accept late", "identifier",
                          "register late 0"}));

    // The accessor outlives the console: entries set up then are dropped quietly.
    UnregisterConsoleCommands();
    g_pCVar = nullptr;
    const ConCommandBase orphan("orphan");
    EXPECT_EQ(g_Log.back(), "unregister 71");
}

TEST(PendingList, ShortLivedAndReSetUpEntriesKeepTheListWhole) {
    ConCommandBase kept("kept");
    {
        ConCommandBase gone("gone");
        ConCommandBase alsoGone("also gone");
    }
    EXPECT_EQ(PendingList(), (std::vector<ConCommandBase*>{&kept, &s_BlankVariable}));

    ConCommandBase top("top");
    top.SetUpEntry("top", nullptr, 0);
    kept.SetUpEntry("kept", nullptr, 0);
    EXPECT_EQ(PendingList(), (std::vector<ConCommandBase*>{&kept, &top, &s_BlankVariable}));
    kept.SetUpEntry("kept", nullptr, COMMAND_FLAG_UNLISTED);
    EXPECT_EQ(PendingList(), (std::vector<ConCommandBase*>{&top, &s_BlankVariable}));

    EXPECT_FALSE(kept.HasAnyFlag(0));
    EXPECT_TRUE(kept.HasAnyFlag(0x1001));
    EXPECT_STREQ(kept.Description(), "");
}

namespace {

IConVar* g_pChangedVariable = nullptr;

void RecordChange(IConVar* variable, const char* oldText, float oldFloat) {
    g_pChangedVariable = variable;
    const auto* convar = static_cast<ConVar*>(variable);
    g_Log.push_back("callback " + Show(oldText, oldFloat) + " now " +
                    Show(convar->ValueText(), convar->AsFloat()));
}

class ConsoleVariable : public Registration {
protected:
    static void ExpectValue(const ConVar& variable, const char* text, float asFloat, int asInt) {
        EXPECT_STREQ(variable.ValueText(), text);
        EXPECT_EQ(variable.AsFloat(), asFloat);
        EXPECT_EQ(variable.AsInt(), asInt);
    }
};

}  // namespace

TEST_F(ConsoleVariable, SetUpStoresTheDefaultAsGiven) {
    const ConVar unclamped("v", "5", 0, nullptr, false, 0.0f, true, 3.0f);
    ExpectValue(unclamped, "5", 5.0f, 5);
    EXPECT_EQ(unclamped.TextCapacity(), 2);

    ExpectValue(ConVar("v", nullptr), "", 0.0f, 0);
    ExpectValue(ConVar("v", "2.5xyz"), "2.5xyz", 2.5f, 2);
    // The integer comes from the parsed number, not from its single-precision form.
    ExpectValue(ConVar("v", "16777217"), "16777217", 16777216.0f, 16777217);
}

TEST_F(ConsoleVariable, TextIsKeptAsGivenUnlessClamped) {
    ConVar variable("v", "0", 0, nullptr, true, 0.0f, true, 1.0f);
    variable.ApplyString("0.5xyz");
    ExpectValue(variable, "0.5xyz", 0.5f, 0);
    variable.ApplyString("5");
    ExpectValue(variable, "1.000000", 1.0f, 1);
    variable.ApplyString("1");  // on the bound: kept as given
    ExpectValue(variable, "1", 1.0f, 1);

    ConVar unbounded("u", "0");
    unbounded.ApplyString("-2.7");
    ExpectValue(unbounded, "-2.7", -2.7f, -2);
    unbounded.ApplyString(nullptr);
    ExpectValue(unbounded, "", 0.0f, 0);
    unbounded.ApplyString(unbounded.ValueText());
    EXPECT_EQ(g_Log.size(), 6u) << "every text assignment notifies, even an unchanged one";
}

TEST_F(ConsoleVariable, NumberAssignmentsSkipTheCurrentValueAndFormatTheStoredOne) {
    ConVar variable("v", "0", 0, nullptr, true, 0.0f, true, 10.0f);
    variable.ApplyFloat(0.0f);
    variable.ApplyInt(0);
    EXPECT_TRUE(g_Log.empty());

    variable.ApplyFloat(0.5f);
    ExpectValue(variable, "0.500000", 0.5f, 0);
    variable.ApplyFloat(10.0f);
    variable.ApplyFloat(11.0f);  // compared before clamping, so stored again
    ExpectValue(variable, "10.000000", 10.0f, 10);
    EXPECT_EQ(g_Log.back(), "notify 10.000000 10");

    ConVar half("h", "0", 0, nullptr, true, 0.0f, true, 5.5f);
    half.ApplyInt(7);
    ExpectValue(half, "5", 5.5f, 5);

    ConVar wide("w", "0");
    wide.ApplyInt(16777217);
    ExpectValue(wide, "16777217", 16777216.0f, 16777217);
    wide.ApplyFloat(1e30f);
    EXPECT_STREQ(wide.ValueText(), "1000000015047466219876688855040");  // 31 of 38 characters

    // The lower bound wins, even above the upper one.
    ConVar crossed("c", "0", 0, nullptr, true, 4.0f, true, 2.0f);
    crossed.ApplyFloat(1.0f);
    EXPECT_EQ(crossed.AsFloat(), 4.0f);
    crossed.ApplyInt(9);
    EXPECT_EQ(crossed.AsInt(), 2);
}

TEST_F(ConsoleVariable, IntegerFormOfNaNAndOfHugeValuesIsDefined) {
    ConVar variable("v", "0");
    variable.ApplyFloat(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(variable.AsInt(), 0);
    variable.ApplyFloat(3e9f);
    EXPECT_EQ(variable.AsInt(), INT_MAX);
    variable.ApplyFloat(-3e9f);
    EXPECT_EQ(variable.AsInt(), INT_MIN);
    variable.ApplyString("1e40");
    EXPECT_EQ(variable.AsFloat(), std::numeric_limits<float>::infinity());
    EXPECT_EQ(variable.AsInt(), INT_MAX);
    variable.ApplyString("-nan");
    EXPECT_TRUE(std::isnan(variable.AsFloat()));
    EXPECT_EQ(variable.AsInt(), 0);
    EXPECT_EQ(ConVar("d", "-1e10").AsInt(), INT_MIN);
}

TEST_F(ConsoleVariable, KeepStringFreezesTheTextAndSilencesTheListeners) {
    ConVar variable("v", "1", COMMAND_FLAG_KEEP_STRING, nullptr, false, 0.0f, false, 0.0f,
                    RecordChange);
    variable.ApplyFloat(3.0f);
    ExpectValue(variable, "1", 3.0f, 3);
    variable.ApplyInt(4);
    variable.ApplyString("5");
    ExpectValue(variable, "1", 5.0f, 5);
    EXPECT_TRUE(g_Log.empty());
}

TEST_F(ConsoleVariable, ListenersHearTheOldValueAfterTheNewOneIsInPlace) {
    ConVar variable("v", "1.5", 0, nullptr, false, 0.0f, false, 0.0f, RecordChange);
    variable.ApplyString("2");
    EXPECT_EQ(g_Log, (Log{"callback 1.5 1.5 now 2 2", "notify 1.5 1.5"}));
    EXPECT_EQ(g_pChangedVariable, static_cast<IConVar*>(&variable));
    EXPECT_EQ(console.notified, &variable);

    // With no console connected the callback still runs.
    g_pCVar = nullptr;
    variable.ApplyInt(3);
    EXPECT_EQ(g_Log.back(), "callback 2 2 now 3 3");
}

TEST_F(ConsoleVariable, TheBufferOnlyGrowsAndLongOldTextsReachTheListenersWhole) {
    ConVar variable("v", "0", 0, nullptr, false, 0.0f, false, 0.0f,
                    [](IConVar*, const char* text, float) { g_Log.assign(1, text); });
    variable.ApplyString("12345");
    EXPECT_EQ(variable.TextCapacity(), 6);
    variable.ApplyString("1");
    EXPECT_EQ(variable.TextCapacity(), 6);

    const std::string longText(5000, '7');
    variable.ApplyString(longText.c_str());
    variable.ApplyString("2");  // written in place over the long text
    EXPECT_EQ(variable.TextCapacity(), 5001);
    EXPECT_EQ(g_Log.front(), longText);

    // Without heap for the copy, the old text arrives cut rather than overrunning anything.
    variable.ApplyString(longText.c_str());
    Tier0Test_FailAllocation(1);
    variable.ApplyString("3");
    EXPECT_STREQ(variable.ValueText(), "3");
    EXPECT_EQ(g_Log.front(), longText.substr(0, 255));
}

TEST_F(ConsoleVariable, WithoutMemoryTheVariableStaysValid) {
    Tier0Test_FailAllocation(1);
    ConVar starved("s", "42");
    ExpectValue(starved, "", 0.0f, 0);
    starved.ApplyString("7");
    ExpectValue(starved, "7", 7.0f, 7);

    ConVar variable("v", "0");
    g_Log.clear();
    Tier0Test_FailAllocation(1);
    variable.ApplyString("123456");
    ExpectValue(variable, "0", 123456.0f, 123456);
    EXPECT_TRUE(g_Log.empty()) << "the text did not change, so nobody is told";
}

TEST_F(ConsoleVariable, TheInterfaceViewAssignsThroughThePrimaryTable) {
    ConVar variable("v", "0", 0x20);
    IConVar& view = variable;
    view.AssignInt(3);
    view.AssignString("x");
    EXPECT_STREQ(variable.ValueText(), "x");
    view.AssignFloat(0.25f);
    ExpectValue(variable, "0.250000", 0.25f, 0);
    EXPECT_STREQ(view.Name(), "v");
    EXPECT_TRUE(view.HasAnyFlag(0x20));
}

TEST_F(ConsoleVariable, TheBlankVariableIgnoresItsInterfaceButNotItsOwnTable) {
    ConVar& blank = s_BlankVariable;
    ExpectValue(blank, "0", 0.0f, 0);
    EXPECT_EQ(blank.TextCapacity(), 2);

    IConVar& view = blank;
    view.AssignInt(5);
    view.AssignFloat(5.0f);
    view.AssignString("5");
    EXPECT_STREQ(view.Name(), "");
    EXPECT_TRUE(g_Log.empty());

    blank.ApplyInt(3);
    ExpectValue(blank, "3", 3.0f, 3);
    EXPECT_EQ(console.notified, &blank);

    // Its flag word takes bits and freezes its text, though it reports none of them.
    blank.SetFlagBits(COMMAND_FLAG_KEEP_STRING);
    EXPECT_FALSE(blank.HasAnyFlag(-1));
    EXPECT_FALSE(view.HasAnyFlag(-1));
    blank.ApplyInt(4);
    ExpectValue(blank, "3", 4.0f, 4);
}
