// A private Xvfb for a picture test program, with GLX (Mesa draws into it in
// software). The layer opens its one connection from DISPLAY on first use, so
// the server runs and DISPLAY names it before any test makes a layer call.
#pragma once

#include "support/xvfb_server.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace picture {

class PrivateDisplay : public ::testing::Environment {
  public:
    // Large enough that an enlarged window still lies wholly on the screen,
    // which reading a window's pixels needs.
    void SetUp() override {
        server_ = std::make_unique<testing_support::XvfbServer>("1280x1024x24");
        setenv("DISPLAY", server_->displayName().c_str(), 1);
    }
    void TearDown() override { server_.reset(); }

  private:
    std::unique_ptr<testing_support::XvfbServer> server_;
};

} // namespace picture
