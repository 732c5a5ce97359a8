#pragma once

#include <atomic>
#include <cstdint>

// The owner tag that the engine's allocator may ask every allocation to carry: the base
// name of this library's own module file.

// The size of the buffer that holds the module's file name and, inside it, the tag.
inline constexpr std::uint32_t kOwnerTagBufferSize = 260;

// Cuts a module path down to its tag, in place. Returns the whole text when it holds no
// '.', or no separator (a backslash on Windows, a slash on Linux); otherwise puts a NUL over
// the last '.' and returns the text after the last separator (so a '.' in a directory name
// leaves the file name whole).
char* OwnerTagFromModulePath(char* path, char separator);

// Asks the engine's allocator whether it wants tags and, if it does, works out the tag
// from the module's file name. Null means no tag: not wanted, or a query failed. The
// buffer comes from the process heap, never from the engine's allocator, and is kept
// for the life of the process.
const char* ModuleAllocationTag();

// A one-time cache of the tag. The first caller claims the cache before computing, so a
// call that races with the filling (or re-enters it) goes untagged, which the engine
// accepts as readily as a tagged one; each answer then holds for the rest of the process.
class OwnerTagCache {
public:
    using TagSource = const char* (*)();

    constexpr OwnerTagCache() = default;
    OwnerTagCache(const OwnerTagCache&) = delete;
    OwnerTagCache& operator=(const OwnerTagCache&) = delete;

    const char* Tag(TagSource source) {
        if (!m_bFilled.load(std::memory_order_relaxed) &&
            !m_bFilled.exchange(true, std::memory_order_relaxed)) {
            const char* tag = source();
            m_pszTag.store(tag, std::memory_order_release);
            return tag;
        }
        return m_pszTag.load(std::memory_order_acquire);
    }

private:
    std::atomic<bool> m_bFilled{false};
    std::atomic<const char*> m_pszTag{nullptr};
};
