#pragma once

#include <new>

#include "interfaces/deleting_destructor.h"

// The body of a deleting-destructor entry: runs the destructor of the object's own class,
// gives its memory back to the allocator it came from (the library's routed operator new)
// when the flags ask for it, and answers the object's address, as the engine expects.
template <typename Object>
void* DestroyInPlace(Object* object, unsigned int flags) {
    // The entry itself is the virtual dispatch: the destructor it runs is its own class's.
    object->Object::~Object();
    if ((flags & kDestructorFreesMemory) != 0) ::operator delete(static_cast<void*>(object));
    return object;
}
