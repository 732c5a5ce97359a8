// The engine's pointer validity checks. The real engine may complain about a bad pointer;
// the stand-in only counts the calls so tests can see that they happen.
#include <atomic>

#include "tier0_testing.h"

namespace {
constinit std::atomic<std::int32_t> s_nValidityChecks{0};
}

void AssertValidStringPtr(const char*, int) {
    ++s_nValidityChecks;
}

void _AssertValidWritePtr(void*, int) {
    ++s_nValidityChecks;
}

std::int32_t Tier0Test_ValidityCheckCalls() {
    return s_nValidityChecks;
}
