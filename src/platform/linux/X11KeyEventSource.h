#pragma once

#include <memory>
#include <set>
#include <string>

#include "platform/KeyEventSource.h"
#include "platform/linux/X11KeyTranslator.h"

struct _XDisplay;

namespace quillo {

class Log;
class X11ErrorTrap;
class X11SyntheticKeys;

// The desktop's keyboard on X11: XInput2 raw key presses and releases of all
// master keyboards, selected on the root window. Raw events reach us whatever
// window has the focus, and selecting them grabs nothing, so every application
// still gets every key. Only a client announcing XInput 2.2 or later receives
// them while another client grabs the keyboard (window switchers, open menus),
// so the source asks for 2.2.
//
// The held keys are checked against the server's keyboard whenever they may
// have drifted from what the events said (the active window changed, a mouse
// button was pressed, a key was released that was not known to be down), and
// keys found up are released then.
//
// Keys this program types itself through XTest (announced in `ownKeys`) are
// dropped. There is no Fn on X11: the Fn channel is never opened.
//
// The source has an X connection of its own. The main loop must watch
// fileDescriptor() for reading and call dispatchPending() whenever it is
// readable (QtKeyEventPump does this on Qt's loop); the handler is called from
// there, on the main thread.
class X11KeyEventSource final : public KeyEventSource
{
public:
    // Opens the connection to `displayName` (empty: $DISPLAY). Without a
    // display the source stays inert and start() reports it. `ownKeys`, when
    // given, must outlive the source.
    explicit X11KeyEventSource(Log& log, const std::string& displayName = {}, X11SyntheticKeys* ownKeys = nullptr);
    ~X11KeyEventSource() override;

    X11KeyEventSource(const X11KeyEventSource&) = delete;
    X11KeyEventSource& operator=(const X11KeyEventSource&) = delete;

    // Selects the raw key events; not watching without a display or without
    // XInput 2 (the reason is logged).
    Started start(Handler handler) override;
    void stop() override;

    // The connection's socket, or -1 without a display. Fixed for the life of
    // the source.
    int fileDescriptor() const;

    // Reads everything the X server has sent and hands the key events to the
    // handler. Does nothing when nothing is waiting.
    void dispatchPending();

private:
    void selectEvents(bool on);
    void findXTestKeyboards();
    void resync();
    void deliver(const KeyEvent& event);

    Log& m_log;
    X11SyntheticKeys* m_ownKeys;
    _XDisplay* m_display = nullptr;
    std::unique_ptr<X11ErrorTrap> m_errorTrap;
    int m_xinputOpcode = -1; // -1: XInput 2 missing
    unsigned long m_activeWindowAtom = 0;
    std::set<int> m_xtestKeyboards; // device ids of the XTest slave keyboards
    Handler m_handler;
    X11KeyTranslator m_translator;
};

} // namespace quillo
