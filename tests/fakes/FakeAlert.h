#pragma once

#include <optional>
#include <vector>

#include "platform/Alert.h"

namespace quillo::test {

// Records every alert and answers with the button the test chose.
class FakeAlert final : public Alert
{
public:
    std::optional<std::size_t> runModal(const Content& content) override
    {
        shown.push_back(content);
        return answer;
    }

    std::optional<std::size_t> answer;
    std::vector<Content> shown;
};

} // namespace quillo::test
