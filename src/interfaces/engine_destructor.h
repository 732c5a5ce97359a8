#pragma once

// Where an engine table lists a destructor, the entry is laid out as the engine's compiler lays
// it out, and this header is the one place where that differs between the platforms:
//  - Windows: the engine is built with Microsoft's compiler, whose table has one entry there,
//    the scalar deleting destructor: one unsigned flags word; the object is destroyed, its
//    memory is given back when bit 0 is set, and the object's address is returned. The library's
//    own compiler would make two entries of a C++ virtual destructor, so the classes declare the
//    entry as an ordinary operation and no virtual destructor.
//  - Linux: the engine is built with GCC, and the entry is the pair a C++ virtual destructor gets
//    (the complete-object destructor, then the deleting one).
// A class whose table starts with that entry derives from EngineDestructorEntry first; each class
// below it that can be destroyed names ENGINE_DESTRUCTOR_OVERRIDE among its members.

inline constexpr unsigned int kDestructorFreesMemory = 0x1;

// The body of a Windows deleting-destructor entry: runs the destructor of the object's own
// class, gives its memory back to the allocator it came from (the library's operator new)
// when the flags ask for it, and answers the object's address.
template <typename Object>
void* DestroyInPlace(Object* object, unsigned int flags) {
    // The entry itself is the virtual dispatch: the destructor it runs is its own class's.
    object->Object::~Object();
    if ((flags & kDestructorFreesMemory) != 0) ::operator delete(static_cast<void*>(object));
    return object;
}

#if defined(_WIN32)

class EngineDestructorEntry {
public:
    virtual void* DeletingDestructor(unsigned int flags) = 0;

protected:
    ~EngineDestructorEntry() = default;
};

// A declaration, not a function: each class needs an entry of its own that destroys its own type.
#define ENGINE_DESTRUCTOR_OVERRIDE                          \
    void* DeletingDestructor(unsigned int flags) override { \
        return DestroyInPlace(this, flags);                 \
    }

#else

class EngineDestructorEntry {
public:
    virtual ~EngineDestructorEntry() = default;
};

// The virtual destructor every class inherits is the entry already.
#define ENGINE_DESTRUCTOR_OVERRIDE static_assert(true)

#endif
