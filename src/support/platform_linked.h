#pragma once

// What a test program that links the library's objects straight in can choose about the
// platform it pretends the library runs on (platform_linked.cpp).

// What the module-file query answers from now on: a path (copied), or null for a failing
// query, with the given folder separator; failTagBuffer makes the heap request fail.
void SetLinkedModuleFileName(const char* path, char separator = '\\', bool failTagBuffer = false);

// Whether the library counts as started with the engine's base library (true at first).
void SetLinkedBaseLibraryStarted(bool started);
