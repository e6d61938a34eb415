#pragma once

#include <gtest/gtest.h>

#include "integration/CupsHarness.h"

namespace quernel::test {

// A test suite with its own private CUPS scheduler: started before the suite's first test
// (before anything in the process talks to CUPS), reset before every test, stopped after the
// last.
class CupsSuite : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        harness_ = new CupsHarness();
        harness_->Start();
        harness_->SetEnvironment();
    }
    static void TearDownTestSuite() {
        delete harness_;
        harness_ = nullptr;
    }
    void SetUp() override { harness_->Reset(); }

    inline static CupsHarness* harness_ = nullptr;
};

}  // namespace quernel::test
