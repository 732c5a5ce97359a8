#pragma once

#include "interfaces/interface_factory.h"

// One named constructor in the process-wide registry behind CreateInterface. Registrations
// are static objects; each links itself at the head of the list while static initialisers
// run, and none is ever unlinked.
class InterfaceRegistration {
public:
    using CreateFunction = void* (*)();

    InterfaceRegistration(CreateFunction create, const char* name);

    InterfaceRegistration(const InterfaceRegistration&) = delete;
    InterfaceRegistration& operator=(const InterfaceRegistration&) = delete;

    CreateFunction m_pfnCreate;
    const char* m_pszName;
    InterfaceRegistration* m_pNext;

    // Most recently linked registration; null until the first one links itself.
    static InterfaceRegistration* s_pHead;
};

extern "C" void* CreateInterface(const char* name, int* returnCode);
