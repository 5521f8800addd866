#pragma once

#include <string>

namespace quillo {

// The program's diagnostic log. Lines carry no level; callers write the whole
// line, beginning with "[Quillo] ".
//
// Threading: any thread. Failure to write is ignored: logging never fails a
// caller.
class Log
{
public:
    virtual ~Log() = default;
    virtual void write(const std::string& line) = 0;
};

} // namespace quillo
