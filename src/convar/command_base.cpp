#include "convar/command_registration.h"

ConCommandBase::ConCommandBase(const char* name, const char* description, int flags) {
    SetUpEntry(name, description, flags);
}

ConCommandBase::~ConCommandBase() {
    // An entry that dies before the library unloads must not stay reachable from the
    // pending list.
    LeavePendingList();
}

bool ConCommandBase::IsCommandEntry() const {
    return true;
}

bool ConCommandBase::HasAnyFlag(int mask) const {
    return (m_nFlagBits & mask) != 0;
}

void ConCommandBase::SetFlagBits(int mask) {
    m_nFlagBits |= mask;
}

const char* ConCommandBase::Name() const {
    return m_pszEntryName;
}

const char* ConCommandBase::Description() const {
    return m_pszDescription;
}

bool ConCommandBase::IsAttached() const {
    return m_bAttached;
}

int ConCommandBase::ModuleId() const {
    return s_nModuleId;
}

void ConCommandBase::SetUpEntry(const char* name, const char* description, int flags) {
    m_pszEntryName = name;
    m_bAttached = false;
    m_pszDescription = description != nullptr ? description : "";
    m_nFlagBits = flags;
    // A second set-up must neither link the entry to itself nor, when it is now unlisted,
    // cut off the entries behind it.
    LeavePendingList();
    if ((flags & COMMAND_FLAG_UNLISTED) != 0) {
        m_pLink = nullptr;
    } else {
        m_pLink = s_pPendingCommands;
        s_pPendingCommands = this;
    }
    if (s_pActiveAccessor != nullptr) Publish();
}

void ConCommandBase::Publish() {
    if (s_pActiveAccessor != nullptr) s_pActiveAccessor->AcceptCommand(this);
}

void ConCommandBase::LeavePendingList() {
    for (ConCommandBase** slot = &s_pPendingCommands; *slot != nullptr; slot = &(*slot)->m_pLink) {
        if (*slot == this) {
            *slot = m_pLink;
            return;
        }
    }
}
