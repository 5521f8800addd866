#pragma once

namespace quillo {

// Whether Quillo starts by itself when the user logs in to the desktop.
//
// Threading: main thread.
// Failure: setRegistered() reports through its result whether the desktop
// will now do what was asked; a failure leaves the previous registration in
// place. Callers may ignore it: the switch that drives it keeps the user's
// choice either way.
class LoginItem
{
public:
    virtual ~LoginItem() = default;

    // Registers the application to start at login (true) or removes that
    // registration (false). Asking for the current state again succeeds.
    virtual bool setRegistered(bool registered) = 0;
    virtual bool isRegistered() const = 0;
};

} // namespace quillo
