// Quoting of outside text for the shell, run through a real shell.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

// The quoting is internal to the library: built in here.
#include "../src/shell.cpp"
#include "testkit.h"

TEST(ShellQuote, WordsComeBackUnchangedFromTheShell) {
    const char* const texts[] = {"plain", "", "a'b", "''", "$(touch /tmp/pwned) `x` \"q\" ; & |", "x\ny"};
    for (const char* t : texts) {
        char out[200];
        ASSERT_TRUE(fwupdate::shellQuote(t, out, sizeof out)) << t;
        EXPECT_EQ(testkit::run(std::string("printf '%s' ") + out), t);
    }
    EXPECT_FALSE(testkit::fileExists("/tmp/pwned"));
}

TEST(ShellQuote, WhatDoesNotFitLeavesAnEmptyWord) {
    const struct {
        const char* text;
        size_t size;
        bool fits;
        const char* out;
    } cases[] = {
        {"abc", 6, true, "'abc'"},                               // exactly: quotes and terminator
        {"abc", 5, false, "''"},                                 // the closing quote is one too many
        {"abcdef", 4, false, "''"},                              // cut inside the text
        {"a'b", 9, true, "'a'\\''b'"}, {"a'b", 8, false, "''"},  // cut inside the escaped quote
        {"a'b", 3, false, "''"},  // each of the four bytes of '\'' is one too many in turn
        {"a'b", 4, false, "''"},       {"a'b", 5, false, "''"},
        {"a'b", 6, false, "''"},       {"x", 2, false, ""},  // not even room for ''
        {"x", 1, false, ""},
    };
    for (const auto& c : cases) {
        char out[16];
        memset(out, '#', sizeof out);
        EXPECT_EQ(fwupdate::shellQuote(c.text, out, c.size), c.fits) << c.text << " " << c.size;
        EXPECT_STREQ(out, c.out) << c.text << " " << c.size;
    }
    char untouched = '#';
    EXPECT_FALSE(fwupdate::shellQuote("x", &untouched, 0));
    EXPECT_EQ(untouched, '#');
}
