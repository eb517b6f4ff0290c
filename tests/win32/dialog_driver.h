// Works a top-level dialog of the program under test the way a user and a
// window manager would: from an X connection of its own, through the window
// tree, window properties, the pixels on the screen and synthetic input
// (XTest). Every wait is bounded.
#pragma once

#include "x_client.h"

#include <X11/Xlib.h>
#include <string>
#include <vector>

namespace testing_support {

enum class DialogInput {
    ReturnKey,
    KeypadEnterKey,
    EscapeKey,
    SpaceKey,
    LetterKey,      // 'a'
    ClickOk,        // press and release on the OK button
    ClickOutsideOk, // press and release in the dialog, off the button
    RightClickOk,
    DragOffOk,    // press on OK, release off it
    CloseRequest, // the window manager's WM_DELETE_WINDOW message
};

struct DialogObservation {
    bool found = false; // viewable, titled as expected, and holding the input focus
    std::string wmName;
    std::string netWmName; // UTF-8
    bool dialogType = false;
    bool deleteProtocol = false;
    ::Window window = 0;
    ::Window transientFor = 0;
    XRectangle geometry{};    // in root coordinates
    bool buttonDrawn = false; // a framed button with a label in it, below drawn text
    XRectangle button{};      // in dialog coordinates
    bool openAfterIgnoredInput = false;
    bool closed = false;
};

class DialogDriver : private XClient {
  public:
    explicit DialogDriver(const std::string& displayName);

    // Waits for the dialog titled `title`, records what it shows, gives it the
    // `ignored` input (after which it must still be open), then `dismissal`,
    // and waits for it to close.
    DialogObservation work(const std::string& title, const std::vector<DialogInput>& ignored,
                           DialogInput dismissal);
    // Sends the close request to every top-level window: the rescue when a
    // dialog could not be worked.
    void askAllToClose();
    int fontLineHeight(const char* fontName);

  private:
    bool findDialog(const std::string& title, DialogObservation& seen);
    void readProperties(DialogObservation& seen);
    void locateButton(DialogObservation& seen);
    void give(DialogInput input, const DialogObservation& seen);
};

} // namespace testing_support
