#pragma once

// Console entries as the engine sees them: the engine receives a ConCommandBase* when an
// entry is registered and a ConVar* with every change notification, and calls the virtual
// operations and reads the fields below through these declarations. The table order of the
// virtual operations and the order of the data members are the binary contract.

#include "engine_destructor.h"

class ConCommandBase;
class IConVar;

// Flag bits the library itself interprets; every other bit is carried unchanged.
inline constexpr int COMMAND_FLAG_UNLISTED = 0x1;        // never put on the pending list
inline constexpr int COMMAND_FLAG_KEEP_STRING = 0x1000;  // text frozen, changes not reported

// Takes pending entries into the console when the library registers them.
class IConCommandBaseAccessor {
public:
    virtual bool AcceptCommand(ConCommandBase* entry) = 0;

protected:
    ~IConCommandBaseAccessor() = default;
};

// Base of every console entry. Entries may be constructed during static initialisation,
// long before the engine exists; until the library registers they wait on a pending list.
class ConCommandBase : public EngineDestructorEntry {
public:
    explicit ConCommandBase(const char* name, const char* description = nullptr, int flags = 0);
    ConCommandBase(const ConCommandBase&) = delete;
    ConCommandBase& operator=(const ConCommandBase&) = delete;

    // Entry 1, the destructor, leaves the engine's console alone.
    ENGINE_DESTRUCTOR_OVERRIDE;
    virtual bool IsCommandEntry() const;
    virtual bool HasAnyFlag(int mask) const;
    virtual void SetFlagBits(int mask);
    virtual const char* Name() const;
    virtual const char* Description() const;
    virtual bool IsAttached() const;
    virtual int ModuleId() const;
    virtual void SetUpEntry(const char* name, const char* description, int flags);
    virtual void Publish();

    ~ConCommandBase();

    // Next entry on the pending list (stale once the list has been handed over).
    ConCommandBase* Link() const { return m_pLink; }
    // This entry's own flag word, without forwarding.
    int FlagBits() const { return m_nFlagBits; }

protected:
    // For derived entries that run their own set-up.
    ConCommandBase() = default;

    ConCommandBase* m_pLink = nullptr;
    bool m_bAttached = false;
    const char* m_pszEntryName = nullptr;
    const char* m_pszDescription = nullptr;
    int m_nFlagBits = 0;

private:
    // Takes this entry off the pending list if it is on it.
    void LeavePendingList();
};

// The assignment view of a console variable, handed to change callbacks.
class IConVar {
public:
    virtual void AssignInt(int value) = 0;
    virtual void AssignFloat(float value) = 0;
    virtual void AssignString(const char* text) = 0;
    virtual const char* Name() const = 0;
    virtual bool HasAnyFlag(int mask) const = 0;

protected:
    ~IConVar() = default;
};

extern "C" {
// A variable's change callback; oldText is valid only during the call.
using VariableChangedFn = void (*)(IConVar* variable, const char* oldText, float oldFloat);
}

// A console variable: one value held as text, single-precision float and integer, with
// optional bounds and a change callback.
class ConVar : public ConCommandBase, public IConVar {
public:
    ConVar(const char* name, const char* defaultText, int flags = 0,
           const char* description = nullptr, bool hasLowerBound = false, float lowerBound = 0.0f,
           bool hasUpperBound = false, float upperBound = 0.0f,
           VariableChangedFn onChange = nullptr);

    ~ConVar();

    ENGINE_DESTRUCTOR_OVERRIDE;
    bool IsCommandEntry() const override;
    bool HasAnyFlag(int mask) const override;
    void SetFlagBits(int mask) override;
    const char* Name() const override;
    const char* Description() const override;
    bool IsAttached() const override;
    virtual void ApplyString(const char* text);
    virtual void ApplyFloat(float value);
    virtual void ApplyInt(int value);
    virtual bool ClampToBounds(float& value);
    virtual void ReplaceString(const char* newText, float oldFloat);
    virtual void SetUpVariable(const char* name, const char* defaultText, int flags,
                               const char* description, bool hasLowerBound, float lowerBound,
                               bool hasUpperBound, float upperBound, VariableChangedFn onChange);

    // The assignments of the IConVar view; they follow the sixteen above in this table.
    void AssignInt(int value) override;
    void AssignFloat(float value) override;
    void AssignString(const char* text) override;

    const char* DefaultText() const { return m_pszDefaultText; }
    const char* ValueText() const { return m_pszValueText; }
    int TextCapacity() const { return m_nTextCapacity; }
    float AsFloat() const { return m_flAsFloat; }
    int AsInt() const { return m_nAsInt; }

protected:
    ConVar* m_pPrimary = nullptr;
    const char* m_pszDefaultText = nullptr;
    char* m_pszValueText = nullptr;
    int m_nTextCapacity = 0;
    float m_flAsFloat = 0.0f;
    int m_nAsInt = 0;
    bool m_bHasLowerBound = false;
    float m_flLowerBound = 0.0f;
    bool m_bHasUpperBound = false;
    float m_flUpperBound = 0.0f;
    VariableChangedFn m_pfnOnChange = nullptr;
};
