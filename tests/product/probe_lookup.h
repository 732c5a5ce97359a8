#pragma once

// Reading the math library's internals in the test twin of the plugin (probe_internals.cpp).

#include "host_platform.h"

// The address of the internal called name in the loaded probe, or null.
inline const void* ProbeInternal(host::Module probe, const char* name) {
    const auto lookup = host::Export<const void* (*)(const char*)>(probe, "MountProbe_Internal");
    return lookup != nullptr ? lookup(name) : nullptr;
}
