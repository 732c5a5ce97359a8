#pragma once

// Rounds to single precision for certain. On i686 the x87 unit keeps extended precision in
// its registers, and a plain conversion is not enough: the compiler may fold it into an
// operation whose result still carries the extra bits, or keep a converted value in a
// register. Going through memory cannot be folded away.
//
// Include only from files built for plain i686: an inline function compiled into a file
// with a raised instruction set could be the copy the linker keeps for every file.
inline float RoundedToSingle(long double value) {
    volatile float stored = static_cast<float>(value);
    return stored;
}
