#include "output/Paster.h"

namespace quillo {

std::string_view displayName(DeliveryOutcome outcome)
{
    switch (outcome) {
    case DeliveryOutcome::delivered:
        return "delivered";
    case DeliveryOutcome::unverified:
        return "unverified";
    case DeliveryOutcome::notDelivered:
        return "not delivered";
    }
    return "unverified";
}

} // namespace quillo
