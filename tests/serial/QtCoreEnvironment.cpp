// One QCoreApplication for the whole test program: QSerialPort needs the main thread's
// event dispatcher, and some tests run its event loop.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <memory>

namespace {

class QtCoreEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<QCoreApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[12] = "serial_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtCoreEnvironment);

}  // namespace
