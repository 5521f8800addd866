#pragma once

struct _XDisplay;

namespace quillo {

class Log;

// Keeps X protocol errors on one of our own connections from ending the
// process (Xlib's default handler exits): while registered, errors on
// `display` are written to `log` (or dropped when it is null). Errors on
// other connections go to whichever handler was installed before ours.
//
// The handler is installed once per process and stays; registrations are
// guarded by a mutex, so connections may come and go on any thread.
class X11ErrorTrap
{
public:
    X11ErrorTrap(_XDisplay* display, Log* log);
    ~X11ErrorTrap();

    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

private:
    _XDisplay* m_display;
};

} // namespace quillo
