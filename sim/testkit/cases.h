// Table-driven tests: a table of cases, each what goes in and what should
// come out, and one check run for every case, traced with its input.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>

namespace testkit {

struct TextCase {
    const char* in;
    const char* out;
};

template <typename F>
void eachCase(std::initializer_list<TextCase> cases, F check) {
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.in);
        check(c.in, c.out);
    }
}

}  // namespace testkit
