#include "convar/empty_console_variable.h"

CEmptyConVar s_BlankVariable;

// While the ConVar part is being set up, the variable is a plain ConVar to any accessor
// that sees it.
CEmptyConVar::CEmptyConVar() : ConVar("", "0", 0, nullptr, false, 0.0f, false, 0.0f, nullptr) {}

bool CEmptyConVar::HasAnyFlag(int) const {
    return false;
}

const char* CEmptyConVar::Name() const {
    return "";
}

void CEmptyConVar::AssignInt(int) {}

void CEmptyConVar::AssignFloat(float) {}

void CEmptyConVar::AssignString(const char*) {}
