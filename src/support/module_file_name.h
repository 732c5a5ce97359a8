#pragma once

#include <cstdint>

// Where the owner tag's text comes from: the library's own module file. The Windows build
// asks the system; the native build, which has no module file of its own, answers what a
// test has chosen.

// A buffer from the process heap (not from the engine's allocator); null on failure.
char* TakeTagBuffer(std::uint32_t size);
// Returns a buffer that did not end up holding a tag.
void GiveBackTagBuffer(char* buffer);

// Writes the full path of the module holding this code into buffer, NUL-terminated.
// False when the module or its name cannot be found, or the name does not fit.
bool QueryOwnModuleFileName(char* buffer, std::uint32_t size);

#if !defined(_WIN32)
// What the native query answers from now on: a path (copied), or null for a failing
// query; failTagBuffer makes the process-heap request fail.
void SetNativeModuleFileName(const char* path, bool failTagBuffer = false);
#endif
