#include "convar/value_conversion.h"

#include <climits>
#include <cstdlib>

int TruncateToInt(double value) {
    if (value != value) return 0;
    if (value >= 2147483648.0) return INT_MAX;
    if (value <= -2147483649.0) return INT_MIN;
    return static_cast<int>(value);
}

double ParseNumber(const char* text) {
    return text != nullptr ? std::atof(text) : 0.0;
}
