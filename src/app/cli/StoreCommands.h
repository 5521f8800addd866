#pragma once

#include <iosfwd>
#include <span>
#include <string>

namespace quillo {

class DataStore;

// The command-line views of the store, for scripts and status bars. Each takes
// the arguments after its command name, writes its result to `out` and its
// complaints to `err`, and returns the process's exit status: 0, or
// kUsageError for arguments it does not understand.
namespace commands {

inline constexpr int kUsageError = 2;

// `quillo stats [--json]`: the five statistics, as lines of text or one JSON
// object {"totalDictations","totalWords","avgWPM" (null when unknown),
// "currentStreak","longestStreak"}.
int stats(const DataStore& store, std::span<const std::string> args, std::ostream& out, std::ostream& err);

// `quillo history [--json] [--limit N]`: the entries newest first, one per
// line (local time, duration, application, text with line breaks escaped), or
// a JSON array in the history file's format.
int history(const DataStore& store, std::span<const std::string> args, std::ostream& out, std::ostream& err);

} // namespace commands

} // namespace quillo
