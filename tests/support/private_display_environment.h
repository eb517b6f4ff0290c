// A private Xvfb for one test program that runs the layer in process. The
// layer opens its one connection from DISPLAY on first use, so the server is
// started and DISPLAY set before any test makes a layer call.
#pragma once

#include "xvfb_server.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

class PrivateDisplayEnvironment : public ::testing::Environment {
  public:
    explicit PrivateDisplayEnvironment(std::string screen = "1024x768x24",
                                       std::vector<std::string> extraArguments = {})
        : screen_(std::move(screen)), extraArguments_(std::move(extraArguments)) {}

    void SetUp() override {
        server_ = std::make_unique<XvfbServer>(screen_, extraArguments_);
        setenv("DISPLAY", server_->displayName().c_str(), 1);
    }
    void TearDown() override { server_.reset(); }

  protected:
    const XvfbServer& server() const { return *server_; }

  private:
    std::string screen_;
    std::vector<std::string> extraArguments_;
    std::unique_ptr<XvfbServer> server_;
};

} // namespace testing_support
