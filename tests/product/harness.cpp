#include "harness.h"

#include <cstdio>
#include <vector>

namespace harness {
namespace {

struct Registered {
    const char* name;
    TestBody body;
};

std::vector<Registered>& Registry() {
    static std::vector<Registered> tests;
    return tests;
}

int s_nFailuresInTest = 0;

}  // namespace

Test::Test(const char* name, TestBody body) {
    Registry().push_back({name, body});
}

void ReportFailure(const std::string& message, const std::source_location& where) {
    ++s_nFailuresInTest;
    std::printf("  %s:%u: %s\n", where.file_name(), static_cast<unsigned>(where.line()),
                message.c_str());
}

bool CheckText(const char* actual, std::string_view expected, std::string_view what,
               std::source_location where) {
    if (actual != nullptr && std::string_view(actual) == expected) return true;
    std::ostringstream message;
    message << what << ": got ";
    if (actual == nullptr) {
        message << "(null)";
    } else {
        message << '"' << actual << '"';
    }
    message << ", expected \"" << expected << '"';
    ReportFailure(message.str(), where);
    return false;
}

}  // namespace harness

int main() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    int passed = 0;
    int failed = 0;
    for (const auto& test : harness::Registry()) {
        std::printf("[ RUN  ] %s\n", test.name);
        harness::s_nFailuresInTest = 0;
        test.body();
        const bool ok = harness::s_nFailuresInTest == 0;
        std::printf("[ %s ] %s\n", ok ? " OK " : "FAIL", test.name);
        ++(ok ? passed : failed);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
