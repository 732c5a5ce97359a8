// Calls as Microsoft's 32-bit C++ compiler makes them: a member entry takes `this` in ecx and
// pops its own arguments (thiscall); a pointer to a virtual member is the address of a stub
// that jumps through the member's table slot; the destructor is one entry, the scalar
// deleting destructor, whose flags word frees the memory when bit 0 is set.
#include "engine_call.h"

extern "C" __declspec(dllimport) int __cdecl _vsnprintf(char* buffer, size_t size,
                                                        const char* format, va_list arguments);
extern "C" __declspec(dllimport) int __stdcall IsBadStringPtrA(const char* text, uintptr_t length);

asm(R"(
    .text
    .globl _CallMeasured
    .p2align 4
_CallMeasured:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl %esp, %edi
    movl 16(%ebp), %esi
    movl 20(%ebp), %ecx
    movl 24(%ebp), %eax
    leal 4(%eax,%ecx,4), %eax
    andl $15, %eax
    andl $-16, %esp
    subl $16, %esp
    addl %eax, %esp
    pushl $0
    pushl $0
    pushl $0
    pushl $0
    pushl $0
    pushl $0
    pushl $0
    pushl $0
    testl %ecx, %ecx
    jz 2f
1:
    pushl -4(%esi,%ecx,4)
    decl %ecx
    jnz 1b
2:
    movl 12(%ebp), %ecx
    movl %esp, %ebx
    calll *8(%ebp)
    movl %esp, %edx
    subl %ebx, %edx
    movl 28(%ebp), %ecx
    movl %edx, (%ecx)
    movl %edi, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    retl
)");

int32_t BytesPoppedByMember(int32_t words) {
    return 4 * words;
}

const void* VirtualEntry(const void*, const void* memberPointer, size_t size) {
    const void* code = nullptr;
    if (size < sizeof(code)) return nullptr;
    __builtin_memcpy(&code, memberPointer, sizeof(code));
    return code;
}

DestructorCall InPlaceDestructor(const void* object) {
    return {"destructor, flags 0", TableEntry(object, 0), 0, 1, true};
}

DestructorCall DeletingDestructor(const void* object) {
    return {"destructor, flags 1", TableEntry(object, 0), 1, 1, true};
}

void FormatArguments(char* buffer, size_t size, const char* format, va_list arguments) {
    _vsnprintf(buffer, size - 1, format, arguments);
    buffer[size - 1] = '\0';
}

bool CanRead(const char* text, size_t length) {
    return IsBadStringPtrA(text, length) == 0;
}
