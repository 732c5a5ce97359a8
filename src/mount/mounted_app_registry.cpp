#include "mount/mounted_app_registry.h"

#include <cstddef>
#include <cstring>
#include <limits>

#include "support/routed_allocation.h"

constinit MountedAppRegistry g_MountedAppRegistry;

namespace {

constexpr std::int32_t kFirstCapacity = 8;
// Keeps every request for storage well inside what a 32-bit size can express.
constexpr std::int32_t kMostEntries = std::numeric_limits<std::int32_t>::max() / 16;

}  // namespace

MountedAppRegistry::~MountedAppRegistry() {
    if (m_pEntries != nullptr) RoutedFree(m_pEntries);
    m_pEntries = nullptr;
    m_nCount = 0;
    m_nCapacity = 0;
}

std::int32_t MountedAppRegistry::LowerBound(std::int32_t appid) const {
    std::int32_t low = 0;
    std::int32_t high = m_nCount;
    while (low < high) {
        const std::int32_t middle = low + (high - low) / 2;
        if (m_pEntries[middle].appid < appid) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

bool MountedAppRegistry::Contains(std::int32_t appid) const {
    const std::int32_t index = LowerBound(appid);
    return index < m_nCount && m_pEntries[index].appid == appid;
}

bool MountedAppRegistry::ReserveOne() {
    if (m_nCount < m_nCapacity) return true;
    if (m_nCapacity >= kMostEntries) return false;
    const std::int32_t capacity = m_nCapacity == 0 ? kFirstCapacity : m_nCapacity * 2;
    const std::size_t bytes = static_cast<std::size_t>(capacity) * sizeof(Entry);
    // The first block is a fresh allocation: the host need not accept a null block for
    // reallocation. A refused growth leaves the old block in place.
    void* grown = m_pEntries == nullptr ? RoutedAlloc(bytes) : RoutedRealloc(m_pEntries, bytes);
    if (grown == nullptr) return false;
    m_pEntries = static_cast<Entry*>(grown);
    m_nCapacity = capacity;
    return true;
}

bool MountedAppRegistry::Record(std::int32_t appid) {
    const std::int32_t index = LowerBound(appid);
    if (index < m_nCount && m_pEntries[index].appid == appid) {
        m_pEntries[index].mounted = 1;
        return true;
    }
    if (!ReserveOne()) return false;
    std::memmove(m_pEntries + index + 1, m_pEntries + index,
                 static_cast<std::size_t>(m_nCount - index) * sizeof(Entry));
    m_pEntries[index] = Entry{appid, 1};
    ++m_nCount;
    return true;
}
