// The private Xvfb that a layer test program runs against. The layer opens its
// one connection from DISPLAY on first use, so the server is started and
// DISPLAY set before any test makes a layer call; the layer's connection (and
// with it the process's X error handler) is opened right away, before any
// connection of the test's own.
#pragma once

#include "xvfb_server.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace layer_test {

class PrivateDisplay : public ::testing::Environment {
  public:
    explicit PrivateDisplay(std::vector<std::string> extraArguments = {});
    void SetUp() override;
    void TearDown() override;

  private:
    std::vector<std::string> extraArguments_;
    std::unique_ptr<testing_support::XvfbServer> server_;
};

} // namespace layer_test
