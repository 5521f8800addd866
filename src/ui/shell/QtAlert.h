#pragma once

#include "platform/Alert.h"

namespace quillo {

// Modal alerts as Qt message boxes.
class QtAlert final : public Alert
{
public:
    std::optional<std::size_t> runModal(const Content& content) override;
};

} // namespace quillo
