#pragma once

#include <string>

// The server's report to the person watching: top-level steps start at the margin, what
// happens inside one script statement is indented under it with a short label.

// A line at the margin.
void PrintStep(const char* format, ...) __attribute__((format(printf, 1, 2)));

void PrintBlankLine();

// An indented line under the current statement: "        label    text". Newlines inside
// the text continue at the same indentation.
void PrintDetail(const char* label, const char* format, ...) __attribute__((format(printf, 2, 3)));

// printf-style formatting into a string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
