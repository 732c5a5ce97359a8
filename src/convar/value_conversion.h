#pragma once

// Number conversions of console variable values, defined for every input.

// Truncates toward zero. NaN gives 0; values beyond the 32-bit range saturate to the
// nearest end of it.
int TruncateToInt(double value);

// The standard text-to-number conversion; a null text reads as no number.
double ParseNumber(const char* text);
