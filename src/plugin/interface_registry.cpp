#include "plugin/interface_registry.h"

#include <cstring>

#include "support/platform.h"

// Constant-initialised, so registrations may link themselves in whatever order static
// constructors run.
constinit InterfaceRegistration* InterfaceRegistration::s_pHead = nullptr;

InterfaceRegistration::InterfaceRegistration(CreateFunction create, const char* name)
    : m_pfnCreate(create), m_pszName(name), m_pNext(s_pHead) {
    s_pHead = this;
}

extern "C" void* CreateInterface(const char* name, int* returnCode) {
    // A library that started without the engine's base library has nothing to offer.
    const InterfaceRegistration* head =
        BaseLibraryStarted() ? InterfaceRegistration::s_pHead : nullptr;
    for (const InterfaceRegistration* entry = head; entry != nullptr; entry = entry->m_pNext) {
        if (std::strcmp(entry->m_pszName, name) == 0) {
            if (returnCode != nullptr) *returnCode = kInterfaceFound;
            return entry->m_pfnCreate();
        }
    }
    if (returnCode != nullptr) *returnCode = kInterfaceNotFound;
    return nullptr;
}
