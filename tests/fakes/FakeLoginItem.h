#pragma once

#include <vector>

#include "platform/LoginItem.h"

namespace quillo::test {

// Remembers the registration and every request; `fail` makes requests fail
// and leave the registration as it was.
class FakeLoginItem final : public LoginItem
{
public:
    bool setRegistered(bool value) override
    {
        requests.push_back(value);
        if (fail) {
            return false;
        }
        registered = value;
        return true;
    }
    bool isRegistered() const override { return registered; }

    bool registered = false;
    bool fail = false;
    std::vector<bool> requests;
};

} // namespace quillo::test
