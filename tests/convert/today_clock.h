// Tests that fix the converters' "today" derive their fixture from TodayClockTest: the system
// clock comes back in TearDown, which runs even when an assertion ended the test early, so no
// later test sees a stopped clock.
#pragma once

#include <gtest/gtest.h>

#include "convert/common/cell_rules.h"

namespace ledgerix::testing {

class TodayClockTest : public ::testing::Test {
 protected:
  void TearDown() override { SetTodayClock({}); }
};

}  // namespace ledgerix::testing
