#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillo::uuid {

// A fresh random (version 4) UUID in canonical upper-case form,
// "XXXXXXXX-XXXX-4XXX-YXXX-XXXXXXXXXXXX".
//
// Threading: any thread.
std::string makeRandom();

// The canonical upper-case form of a 36-character 8-4-4-4-12 hexadecimal UUID
// written in either case; nothing when `text` is anything else.
std::optional<std::string> canonical(std::string_view text);

} // namespace quillo::uuid
