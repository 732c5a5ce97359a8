#pragma once

#include "interfaces/console_entries.h"

// A nameless variable that reports no flags and ignores assignments through its IConVar
// view; set-up and the primary table's operations are those of a plain ConVar.
class CEmptyConVar final : public ConVar {
public:
    CEmptyConVar();

    ENGINE_DESTRUCTOR_OVERRIDE;
    bool HasAnyFlag(int mask) const override;
    const char* Name() const override;
    void AssignInt(int value) override;
    void AssignFloat(float value) override;
    void AssignString(const char* text) override;
};

// The library's one console variable: on the pending list from static initialisation,
// handed to the engine by the registration pass like any other entry.
extern CEmptyConVar s_BlankVariable;
