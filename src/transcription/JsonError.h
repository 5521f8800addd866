#pragma once

#include <stdexcept>

namespace quillo {

// A service's answer is not JSON, or a request body cannot be written as JSON
// (text that is not valid UTF-8). what() is the user-facing description.
class JsonError : public std::runtime_error
{
public:
    enum class Kind
    {
        unreadable,
        unwritable
    };

    explicit JsonError(Kind kind)
        : std::runtime_error(kind == Kind::unreadable
                                 ? "The data couldn't be read because it isn't in the correct format."
                                 : "The data couldn't be written because it isn't in the correct format."),
          m_kind(kind)
    {}

    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

} // namespace quillo
