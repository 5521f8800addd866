#pragma once

#include <iosfwd>
#include <span>
#include <string>

#include "store/KeptDictations.h"

namespace quillo {

class DataStore;
class Transcriber;

struct RetryOutcome
{
    bool ok = false;
    std::string text;  // the text of a success; empty when nothing was said
    std::string error; // why it failed again
};

// Runs a kept dictation through the pipeline again. On success its history
// entry is added with the dictation's own date, length and application, and
// the kept files are removed; on failure the record keeps the new error.
//
// Threading: off the main thread (it blocks on the network).
RetryOutcome
retryKeptDictation(const KeptDictation& kept, Transcriber& transcriber, DataStore& history, KeptDictationStore& store);

namespace commands {

// `quillo pending [--json]`: the kept dictations, oldest first, as lines of
// id, local time, length and error, or a JSON array of objects {"id", "date"
// (UTC, ISO 8601), "duration", "error", "appName" (when known)}.
int pending(const KeptDictationStore& store, std::span<const std::string> args, std::ostream& out, std::ostream& err);

// `quillo retry --all | ID...`: retries them in turn, printing each text on a
// line of its own and each failure to `err`. 0 only when all succeeded, 1 when
// any failed or is unknown, 2 for a wrong command line.
int retry(KeptDictationStore& store,
          Transcriber& transcriber,
          DataStore& history,
          std::span<const std::string> args,
          std::ostream& out,
          std::ostream& err);

} // namespace commands

} // namespace quillo
