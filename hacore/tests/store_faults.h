// A store whose file nobody may open: the check runs in a child without the
// sandbox's file-access override, where such a file stays shut.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <sys/stat.h>

#include "testkit.h"

namespace storefault {

// What the readers print when neither opening nor repairing the store worked.
constexpr const char kCannotRepair[] = "cannot repair: ";
// The same, as the whole of standard error of one failed open.
constexpr const char kOpenAndRepairFailed[] = "^dpopen: [^\n]+\ncannot repair: [^\n]+\n$";

// Takes every access to `store` away, then `check` must hold in the child
// and its standard error match `message`.
inline void expectLockedOut(const char* store, const std::function<bool()>& check,
                            const char* message = kCannotRepair) {
    chmod(store, 0);
    EXPECT_EXIT(
        {
            testkit::dropFileAccessOverride();
            exit(check() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), message);
}

}  // namespace storefault
