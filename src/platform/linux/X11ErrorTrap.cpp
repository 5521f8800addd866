#include "platform/linux/X11ErrorTrap.h"

#include <map>
#include <mutex>
#include <string>

#include <X11/Xlib.h>

#include "platform/Log.h"

namespace quillo {

namespace {

struct Registry
{
    std::mutex mutex; // guards logs and previous
    std::map<Display*, Log*> logs;
    XErrorHandler previous = nullptr;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

int handleError(Display* display, XErrorEvent* error)
{
    Registry& r = registry();
    Log* log = nullptr;
    XErrorHandler previous = nullptr;
    {
        std::lock_guard lock(r.mutex);
        const auto found = r.logs.find(display);
        if (found == r.logs.end()) {
            previous = r.previous;
        } else {
            log = found->second;
        }
    }
    if (previous) {
        return previous(display, error);
    }
    if (log) {
        char text[256] = {};
        XGetErrorText(display, error->error_code, text, sizeof text);
        log->write("[Quillo] X error on the key connection: " + std::string(text) + " (request " +
                   std::to_string(error->request_code) + "." + std::to_string(error->minor_code) + ")");
    }
    return 0;
}

} // namespace

X11ErrorTrap::X11ErrorTrap(_XDisplay* display, Log* log) : m_display(display)
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        r.previous = XSetErrorHandler(handleError);
    });
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.logs[m_display] = log;
}

X11ErrorTrap::~X11ErrorTrap()
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.logs.erase(m_display);
}

} // namespace quillo
