#pragma once

#include <functional>
#include <optional>
#include <string>

#include "output/PasteMethod.h"

namespace quillo {

// Whether a paste was seen to arrive.
enum class DeliveryOutcome
{
    delivered,   // the text appeared in the focused text field
    unverified,  // nothing could be read to tell: the paste went as usual
    notDelivered // the field could be read and the text never appeared
};

std::string_view displayName(DeliveryOutcome outcome); // "delivered", "unverified", "not delivered"

// One paste, after its outcome is known.
struct PasteReport
{
    std::optional<std::string> applicationID; // the application in front at the paste
    std::optional<std::string> applicationName;
    PasteMethod method = PasteMethod::ctrlV;
    DeliveryOutcome outcome = DeliveryOutcome::unverified;
    // Nothing could press keys in this session: the text was left on the
    // clipboard (the outcome is then notDelivered).
    bool keysUnavailable = false;
};

// Puts text at the cursor of the front application.
//
// Threading: main thread. Returns at once; the keystrokes follow on timers,
// and the report of each paste once its outcome is known (within about a
// second), on the main thread.
class Paster
{
public:
    using ReportHandler = std::function<void(const PasteReport&)>;

    virtual ~Paster() = default;
    virtual void paste(const std::string& text, bool simulateEnter) = 0;
    // Replaces the handler told about every paste's outcome.
    virtual void setReportHandler(ReportHandler handler) = 0;
    // Only puts the text on the clipboard, for the user to paste where they like.
    virtual void copy(const std::string& text) = 0;
};

} // namespace quillo
