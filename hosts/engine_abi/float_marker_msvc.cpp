// Code that Microsoft's compiler builds with floating point refers to _fltused, which that
// compiler's runtime defines; the engine-built objects here have no such runtime.
extern "C" __declspec(selectany) int _fltused = 0;
