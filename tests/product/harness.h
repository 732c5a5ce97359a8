#pragma once

// A small test harness for the programs that drive the product: the DLL under Wine, the
// shared object natively. The Windows product's compiler has no std::mutex (win32 thread
// model), which GoogleTest needs; these tests are single-threaded and need little more than
// named checks.

#include <cstdint>
#include <source_location>
#include <sstream>
#include <string>
#include <string_view>

namespace harness {

using TestBody = void (*)();

// Registers a test at static initialisation; tests run in registration order.
struct Test {
    Test(const char* name, TestBody body);
};

void ReportFailure(const std::string& message, const std::source_location& where);

inline bool Check(bool condition, std::string_view what = "check",
                  std::source_location where = std::source_location::current()) {
    if (!condition) ReportFailure(std::string(what), where);
    return condition;
}

template <typename Actual, typename Expected>
bool CheckEqual(const Actual& actual, const Expected& expected, std::string_view what = "value",
                std::source_location where = std::source_location::current()) {
    if (actual == expected) return true;
    std::ostringstream message;
    message << what << ": got " << actual << ", expected " << expected;
    ReportFailure(message.str(), where);
    return false;
}

bool CheckText(const char* actual, std::string_view expected, std::string_view what = "text",
               std::source_location where = std::source_location::current());

}  // namespace harness
