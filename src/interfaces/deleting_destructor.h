#pragma once

// Where the engine's table of an object lists a destructor, the entry is its compiler's
// deleting destructor, one entry with one unsigned flags word: the object is destroyed, its
// memory is given back when bit 0 is set, and the object's address is returned. The classes
// whose tables the engine sees declare that entry as an ordinary operation and no C++
// virtual destructor, which the DLL's own compiler would lay out as two entries.
inline constexpr unsigned int kDestructorFreesMemory = 0x1;
