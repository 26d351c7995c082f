// One QApplication for every widget test of this executable.
#include <gtest/gtest.h>

#include <QApplication>

namespace {

class QtEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "test_controls";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

private:
  QApplication* app_ = nullptr;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
