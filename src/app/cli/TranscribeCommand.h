#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quillo {

class Preferences;
class Transcriber;

// `quillo transcribe FILE [--languages en,de]`: one recording through the
// whole pipeline, without the desktop. The final text goes to `out` (nothing
// for an empty result), a failure to `err` as "Quillo Error: <description>".
struct TranscribeCommand
{
    const Preferences& preferences; // the enabled languages, when none are given
    Transcriber& transcriber;

    // The usage lines, as `quillo --help` also lists them.
    static const char* usage();

    // `arguments` are the words after "transcribe". Returns the exit status:
    // 0 done, 1 the dictation failed, 2 the command line is wrong.
    int run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
};

} // namespace quillo
