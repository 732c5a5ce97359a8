#pragma once

// How the engine's compiler calls an entry of a table, where Microsoft's 32-bit C++ ABI and
// the Itanium C++ ABI for i386 differ. The engine side of the layout test (engine_side.cpp) is
// one file for both; the build compiles it with engine_call_msvc.cpp on Windows and with
// engine_call_itanium.cpp on Linux.

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

extern "C" {
// Calls code with count argument words (the first one pushed last) so that the callee is
// entered with esp at residue mod 16. self is the object of a member entry, passed as the ABI
// passes `this`, or null for a plain function. Eight zero words lie above the arguments: a
// callee that reads more arguments than it was given reads zeros. Stores the bytes the callee
// popped; esp is restored whatever the callee did to it.
uint32_t CallMeasured(const void* code, void* self, const uint32_t* words, int32_t count,
                      int32_t residue, int32_t* popped);
}

// The bytes a member entry that takes the given argument words pops on its return.
int32_t BytesPoppedByMember(int32_t words);

// The code that a pointer to a virtual member (its bytes) leads to when called on object, an
// object of the class that declares the member; null when the pointer is not of that form or
// the table holds no code there.
const void* VirtualEntry(const void* object, const void* memberPointer, size_t size);

inline const void* TableEntry(const void* object, size_t index) {
    return (*static_cast<const void* const* const*>(object))[index];
}

// One call of the engine's destructor entry on an object.
struct DestructorCall {
    const char* what;  // the entry, as a step names it
    const void* code;
    uint32_t flags;  // the argument word, where the entry takes one
    int32_t count;   // argument words: 0 or 1
    bool returnsAddress;
};
// Destroys the object and keeps its memory.
DestructorCall InPlaceDestructor(const void* object);
// Destroys the object and gives its memory back through the library's operator delete.
DestructorCall DeletingDestructor(const void* object);

// At most size - 1 characters and a NUL.
void FormatArguments(char* buffer, size_t size, const char* format, va_list arguments);
// True when text can be read up to its NUL or for length bytes, whichever comes first.
bool CanRead(const char* text, size_t length);
