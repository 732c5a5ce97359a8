#include "plugin/interface_registry.h"

#include <cstring>

// Constant-initialised, so registrations may link themselves in whatever order static
// constructors run.
constinit InterfaceRegistration* InterfaceRegistration::s_pHead = nullptr;

InterfaceRegistration::InterfaceRegistration(CreateFunction create, const char* name)
    : m_pfnCreate(create), m_pszName(name), m_pNext(s_pHead) {
    s_pHead = this;
}

extern "C" void* CreateInterface(const char* name, int* returnCode) {
    for (const InterfaceRegistration* entry = InterfaceRegistration::s_pHead; entry != nullptr;
         entry = entry->m_pNext) {
        if (std::strcmp(entry->m_pszName, name) == 0) {
            if (returnCode != nullptr) *returnCode = kInterfaceFound;
            return entry->m_pfnCreate();
        }
    }
    if (returnCode != nullptr) *returnCode = kInterfaceNotFound;
    return nullptr;
}
