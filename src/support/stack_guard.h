#pragma once

// The stack protector's guard value and failure path, inside the DLL: the compiler's own
// ones (libssp) would import ADVAPI32.dll for a random seed, which the DLL's import contract
// does not allow.
//
// Every function the compiler protects checks, before it returns, the copy of the guard its
// frame took on entry. So the guard is seeded once, at process attach, by the entry point
// before anything protected runs; the entry point and the seeding itself are not protected.

// Sets the guard from what KERNEL32.dll offers (counters, times, ids, addresses).
// module: the DLL's own handle, whose address is part of the seed.
void SeedStackGuard(const void* module);
