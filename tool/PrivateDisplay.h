// An X display for tools that draw without a desktop: a private Xvfb
// server started for the tool's lifetime, or the desktop's own display.
#pragma once

#include <string>

namespace tool {

class PrivateDisplay {
public:
    PrivateDisplay() = default;
    ~PrivateDisplay(); // stops the server this object started
    PrivateDisplay(const PrivateDisplay &) = delete;
    PrivateDisplay &operator=(const PrivateDisplay &) = delete;

    // Starts Xvfb (found on $PATH) on a free display and points $DISPLAY at
    // it; without Xvfb, keeps a $DISPLAY that is set.  False, with the
    // reason in error, when neither is there.
    bool acquire(std::string &error);
    const std::string &name() const { return display; }
    bool isPrivate() const { return server > 0; }

private:
    bool startServer(std::string &error);

    std::string display;
    int server = 0; // process id of our Xvfb
};

} // namespace tool
