#include "window_manager.h"

#include "x_client.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace testing_support {
namespace {

constexpr int startTimeoutMs = 10000;
constexpr int stopTimeoutMs = 3000;

// The title bar ends with the close button; a click on it closes the window,
// and a drag of the bottom-right corner resizes it with its contents live.
// Nothing else: no menus, no key bindings, one desktop.
constexpr char configuration[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <placement><policy>Smart</policy></placement>
  <theme><name>Clearlooks</name><titleLayout>NLIMC</titleLayout><keepBorder>yes</keepBorder></theme>
  <desktops><number>1</number></desktops>
  <resize><drawContents>yes</drawContents></resize>
  <mouse>
    <dragThreshold>1</dragThreshold>
    <context name="Close">
      <mousebind button="Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
      <mousebind button="Left" action="Click"><action name="Close"/></mousebind>
    </context>
    <context name="BRCorner">
      <mousebind button="Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
      <mousebind button="Left" action="Drag"><action name="Resize"/></mousebind>
    </context>
  </mouse>
</openbox_config>
)";

std::string makeDirectory() {
    char pattern[] = "/tmp/quorlane-wm-XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error("mkdtemp failed");
    return pattern;
}

} // namespace

WindowManager::WindowManager(const std::string& displayName) : directory_(makeDirectory()) {
    std::string rc = directory_ + "/rc.xml";
    std::ofstream(rc) << configuration;
    // Its settings and caches stay in the directory of this run.
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/bin/openbox", "--sm-disable", "--config-file", rc},
        std::vector<std::string>{"DISPLAY=" + displayName, "XDG_CONFIG_HOME=" + directory_,
                                 "XDG_CACHE_HOME=" + directory_, "HOME=" + directory_});
    XClient observer(displayName);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(startTimeoutMs);
    while (!observer.windowManagerRunning()) {
        if (!process_->running() || std::chrono::steady_clock::now() >= deadline)
            throw std::runtime_error("openbox did not start: " + process_->stderrText());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

WindowManager::~WindowManager() {
    process_->signal(SIGTERM);
    process_->wait(stopTimeoutMs); // the child's destructor kills it if it is still there
    process_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

} // namespace testing_support
