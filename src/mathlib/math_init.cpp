#include "mathlib/math_init.h"

// Routine selection and the tables are not built yet; load calls this so that they come
// up in their place once they exist.
void InitMathSupport(float, float, float, int, bool, bool, bool, bool) {}
