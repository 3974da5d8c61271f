// How long the long-running tests run: CI's sizes by default, longer when the
// environment asks (scripts/soak does).
#pragma once

#include <cstdio>
#include <cstdlib>

// The positive whole number in environment variable `name`, or `fallback`
// when it is unset or empty. Anything else stops the program, so that a long
// run never quietly shrinks to the default size.
inline unsigned SizeFromEnvironment(const char* name, unsigned fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text) return fallback;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (text[0] < '0' || text[0] > '9' || *end != '\0' || value == 0 || value > 100000000ul) {
        std::fprintf(stderr, "%s=\"%s\": expected a whole number from 1 to 100000000\n", name, text);
        std::exit(2);
    }
    return static_cast<unsigned>(value);
}
