#pragma once

#include <cstdint>

// The ids of every application mounted successfully during the life of the process,
// ordered by signed value. Entries are only ever added; the storage comes from the host
// allocator and goes back to it when the library is unloaded.
class MountedAppRegistry {
public:
    constexpr MountedAppRegistry() = default;
    ~MountedAppRegistry();
    MountedAppRegistry(const MountedAppRegistry&) = delete;
    MountedAppRegistry& operator=(const MountedAppRegistry&) = delete;

    bool Contains(std::int32_t appid) const;

    // Makes room for one more id, so that a following Record of a new id cannot fail.
    // False when the host allocator refuses; the recorded ids stay as they were.
    bool ReserveOne();

    // Records appid as mounted; a repeated id keeps its single entry. False only when the
    // id is new and no room could be made for it.
    bool Record(std::int32_t appid);

    std::int32_t Count() const { return m_nCount; }
    // The index-th id in ascending signed order.
    std::int32_t IdAt(std::int32_t index) const { return m_pEntries[index].appid; }

private:
    struct Entry {
        std::int32_t appid;
        std::uint8_t mounted;  // always 1: presence is what counts
    };

    // Index of the first entry whose id is not below appid (m_nCount when there is none).
    std::int32_t LowerBound(std::int32_t appid) const;

    Entry* m_pEntries = nullptr;
    std::int32_t m_nCount = 0;
    std::int32_t m_nCapacity = 0;
};

// The process-wide registry, empty from the moment the library is mapped.
extern MountedAppRegistry g_MountedAppRegistry;
