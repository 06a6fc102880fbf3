// Linked into every test binary: each test starts with every fault switch of
// the virtual router off, whatever the test before it left.
#include <gtest/gtest.h>

#include "testkit.h"

namespace {

class FreshFaults : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { testkit::clearFaults(); }
};

const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshFaults);
    return true;
}();

}  // namespace
