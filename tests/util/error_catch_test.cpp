#include "util/error_catch.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace varn {
namespace {

int FailingDetector(int block) {
  return Trapped(-1, [&]() -> int { throw std::runtime_error("block " + std::to_string(block)); });
}

TEST(ErrorCatch, ATrapThatFailsOnEveryBlockIsReportedOnceWithItsRoutineAndError) {
  std::vector<std::string> lines;
  SetTrapReporter([&](std::string_view routine, std::string_view error) {
    lines.push_back(std::string(routine) + ": " + std::string(error));
  });
  for (int block = 0; block < 100; ++block) EXPECT_EQ(FailingDetector(block), -1);
  TrappedStep([] { throw 42; });  // another trap speaks for itself
  SetTrapReporter(nullptr);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("FailingDetector"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("block 0"), std::string::npos);
  EXPECT_NE(lines[1].find("unknown error"), std::string::npos);
}

TEST(ErrorCatch, ANonZeroSwitchLetsTheErrorSurface) {
  SetErrorCatch(1);
  EXPECT_THROW(FailingDetector(1), std::runtime_error);
  SetErrorCatch(0);
  EXPECT_EQ(FailingDetector(1), -1);
}

}  // namespace
}  // namespace varn
