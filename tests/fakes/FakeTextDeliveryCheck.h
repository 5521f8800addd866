#pragma once

#include <optional>

#include "platform/TextDeliveryCheck.h"

namespace quillo::test {

// The focused text field as the test sets it: nothing means it cannot be
// read. Tests change `field` to make a paste arrive (or not).
class FakeTextDeliveryCheck final : public TextDeliveryCheck
{
public:
    std::optional<AccessibleTextSnapshot> readFocusedText() override { return field; }
    std::optional<AccessibleTextSnapshot> readAgain() override { return field; }

    std::optional<AccessibleTextSnapshot> field;
};

} // namespace quillo::test
