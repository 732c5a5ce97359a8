#pragma once

// Reads typed values off the fuzzer's bytes; past the end every read answers zero, so a
// short input is still a complete (if dull) run.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_pData(data), m_nSize(size) {}

    bool Empty() const { return m_nOffset >= m_nSize; }

    std::uint8_t Byte() { return Empty() ? 0 : m_pData[m_nOffset++]; }

    template <typename Value>
    Value Take() {
        Value value{};
        std::uint8_t bytes[sizeof(Value)] = {};
        for (std::uint8_t& byte : bytes) byte = Byte();
        std::memcpy(&value, bytes, sizeof(Value));
        return value;
    }

    // A text of up to maxLength bytes, NUL excluded (a NUL byte ends it early).
    std::string Text(std::size_t maxLength) {
        std::string text;
        const std::size_t length = Byte() % (maxLength + 1);
        for (std::size_t i = 0; i < length && !Empty(); ++i) {
            const char c = static_cast<char>(Byte());
            if (c == '\0') break;
            text.push_back(c);
        }
        return text;
    }

private:
    const std::uint8_t* m_pData;
    std::size_t m_nSize;
    std::size_t m_nOffset = 0;
};

// Stops the run with a message the fuzzer shows beside the reproducer.
[[noreturn]] void FuzzFailure(const char* what);
