// The private Xvfb that a layer test program runs against. The layer's
// connection (and with it the process's X error handler) is opened right
// away, before any connection of the test's own.
#pragma once

#include "private_display_environment.h"

#include <string>
#include <vector>

namespace layer_test {

class PrivateDisplay : public testing_support::PrivateDisplayEnvironment {
  public:
    explicit PrivateDisplay(std::vector<std::string> extraArguments = {})
        : PrivateDisplayEnvironment("1024x768x24", std::move(extraArguments)) {}
    void SetUp() override;
    void TearDown() override;
};

} // namespace layer_test
