// Test main for the unit tests: installs a fresh simulated computer before every test and
// removes it afterwards, so no test sees another's platform state.
#include <gtest/gtest.h>

#include <memory>

#include "sim/computer.h"

namespace {

class FreshComputer : public testing::EmptyTestEventListener {
 public:
  void OnTestStart(const testing::TestInfo&) override {
    computer_ = std::make_unique<sim::Computer>();
    computer_->Install();
  }
  void OnTestEnd(const testing::TestInfo&) override { computer_.reset(); }

 private:
  std::unique_ptr<sim::Computer> computer_;
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new FreshComputer);
  return RUN_ALL_TESTS();
}
