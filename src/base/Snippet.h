#pragma once

#include <string>

namespace quillo {

// A text shortcut: a spoken trigger that becomes a longer expansion.
struct Snippet
{
    std::string id; // upper-case canonical UUID
    std::string trigger;
    std::string expansion;

    bool operator==(const Snippet&) const = default;
};

} // namespace quillo
