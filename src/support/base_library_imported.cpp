// The engine's base library where the system's loader or the linker joins its exports to the
// library's references: on Windows, and in test programs that link the stand-in in.
#include "support/platform.h"

const CPUInformation* EngineProcessorInformation() {
    return GetCPUInformation();
}

void EngineCheckWritePointer(void* pointer, int byteCount) {
    _AssertValidWritePtr(pointer, byteCount);
}

void EngineCheckStringPointer(const char* text, int maximumLength) {
    AssertValidStringPtr(text, maximumLength);
}
