#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quillo {

// Quillo's control interface on the session bus, for the desktop's own
// shortcuts, scripts and pedals: the bus name kBusName owns the object
// kObjectPath with the interface kInterface, whose methods Start, Stop,
// Toggle, Cancel and PasteLast take no argument and return nothing, and whose
// read-only string property State ("idle", "recording", "processing") is
// announced through org.freedesktop.DBus.Properties.PropertiesChanged. A
// request Quillo will not do fails with the error kRefusedError and a message
// for the user.
//
// Main thread only; the methods are answered on the main thread.
class QtDBusControlService final
{
public:
    static constexpr const char* kBusName = "org.quillo.Quillo";
    static constexpr const char* kObjectPath = "/org/quillo/Quillo";
    static constexpr const char* kInterface = "org.quillo.Quillo.Dictation";
    static constexpr const char* kRefusedError = "org.quillo.Quillo.Error.Refused";

    // Nothing when the request was taken, else why not.
    using Action = std::function<std::optional<std::string>()>;
    struct Actions
    {
        Action start;
        Action stop;
        Action toggle;
        Action cancel;
        Action pasteLast;
    };

    explicit QtDBusControlService(Actions actions);
    ~QtDBusControlService();

    QtDBusControlService(const QtDBusControlService&) = delete;
    QtDBusControlService& operator=(const QtDBusControlService&) = delete;

    // Puts the object on the bus and takes the name. What went wrong, or
    // nothing when both worked.
    std::optional<std::string> publish();
    // Announces a new state; the same state again is not announced.
    void setState(const std::string& state);

private:
    class Adaptor;
    std::unique_ptr<Adaptor> m_adaptor;
};

} // namespace quillo
