#include "util/thread_priority.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <thread>

namespace varn {
namespace {

TEST(MakeThisThreadBatch, ChangesOnlyTheCallingThread) {
  const int before = sched_getscheduler(0);
  int inThread = -1;
  bool made = false;
  std::thread worker([&] {
    made = MakeThisThreadBatch();
    inThread = sched_getscheduler(0);
  });
  worker.join();
  ASSERT_TRUE(made);
  EXPECT_EQ(inThread, SCHED_BATCH);
  EXPECT_EQ(sched_getscheduler(0), before);
}

}  // namespace
}  // namespace varn
