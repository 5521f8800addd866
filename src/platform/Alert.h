#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quillo {

// Modal alerts: a title, an explanation and a row of buttons.
//
// Threading: main thread. runModal blocks its caller until the user answers,
// while the main loop keeps running (other queued work may run meanwhile).
class Alert
{
public:
    enum class Style
    {
        informational,
        warning,
        critical
    };

    struct Content
    {
        Style style = Style::informational;
        std::string title;
        std::string text;
        // The first button is the default one. At least one button.
        std::vector<std::string> buttons;
    };

    virtual ~Alert() = default;

    // The index of the button the user chose, or nothing when the alert was
    // dismissed without a button (closing its window, or no desktop to show
    // it on).
    virtual std::optional<std::size_t> runModal(const Content& content) = 0;
};

} // namespace quillo
