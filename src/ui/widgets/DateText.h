#pragma once

#include <chrono>

#include <QString>

namespace quillo::datetext {

// "5 minutes ago", "in 2 days", … in the user's language: the largest unit
// that fits the distance from `now`.
QString relative(std::chrono::system_clock::time_point when, std::chrono::system_clock::time_point now);

// The abbreviated date and short time of the user's locale ("Mar 2, 2026, 9:41 AM").
QString dateAndTime(std::chrono::system_clock::time_point when);

// The local hour, 0 to 23, of `when`.
int localHour(std::chrono::system_clock::time_point when);

} // namespace quillo::datetext
