// Calls as GCC makes them for i386 (the Itanium C++ ABI on the System V calling convention):
// a member entry takes `this` as its first stack argument and the caller removes the
// arguments; a pointer to a virtual member is 1 + the byte offset of its slot in the table,
// then the adjustment of `this`; the destructor is two entries, the complete-object
// destructor and then the deleting destructor, neither with an argument or a result.
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include "engine_call.h"

asm(R"(
    .text
    .globl CallMeasured
    .type CallMeasured, @function
    .p2align 4
CallMeasured:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl %esp, %edi
    movl 16(%ebp), %esi
    movl 20(%ebp), %ecx
    movl 24(%ebp), %eax
    cmpl $0, 12(%ebp)
    je 3f
    addl $4, %eax
3:
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
    movl 12(%ebp), %eax
    testl %eax, %eax
    jz 4f
    pushl %eax
4:
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
    .size CallMeasured, .-CallMeasured
)");

int32_t BytesPoppedByMember(int32_t) {
    return 0;
}

const void* VirtualEntry(const void* object, const void* memberPointer, size_t size) {
    uintptr_t words[2];
    if (size != sizeof(words)) return nullptr;
    __builtin_memcpy(words, memberPointer, sizeof(words));
    // Called on an object of the declaring class, the adjustment is 0.
    if ((words[0] & 1) == 0 || words[1] != 0) return nullptr;
    return TableEntry(object, (words[0] - 1) / sizeof(void*));
}

DestructorCall InPlaceDestructor(const void* object) {
    return {"complete-object destructor", TableEntry(object, 0), 0, 0, false};
}

DestructorCall DeletingDestructor(const void* object) {
    return {"deleting destructor", TableEntry(object, 1), 0, 0, false};
}

void FormatArguments(char* buffer, size_t size, const char* format, va_list arguments) {
    vsnprintf(buffer, size, format, arguments);
}

// write() reports a byte it cannot read with EFAULT instead of faulting: each byte goes
// through a pipe of this process's own and is read back.
bool CanRead(const char* text, size_t length) {
    static int ends[2] = {-1, -1};
    if (ends[0] < 0 && pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    for (size_t index = 0; index < length; ++index) {
        char byte = '\0';
        if (write(ends[1], text + index, 1) != 1 || read(ends[0], &byte, 1) != 1) return false;
        if (byte == '\0') break;
    }
    return true;
}
