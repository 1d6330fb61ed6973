// Private to platform/: X protocol errors on our own display connections.
//
// Xlib's default error handler ends the process, which a plug-in must never
// do to its host.  While any of our connections is open, our handler is
// installed process-wide: errors on our connections are recorded (and read
// back with takeError after an XSync), errors on anybody else's connection go
// to the handler that was installed before ours.  The previous handler is put
// back when our last connection closes.
#pragma once

#include <X11/Xlib.h>

namespace platform::x11 {

// [any] opens a connection (null: $DISPLAY) and registers it as ours.
Display *openDisplay(const char *name);
// [any] unregisters and closes it.
void closeDisplay(Display *display);
// [any] waits until the server has handled every request sent so far and
// returns the first error code recorded on this connection since the last
// call (0 when none), clearing it.
int takeError(Display *display);

} // namespace platform::x11
