#pragma once

#include <string>
#include <string_view>

namespace quillo {

// Text made from a recogniser's bare words, ready to paste.
struct SpokenText
{
    std::string text;
    // The words ended with "press enter" or "hit enter".
    bool pressEnter = false;

    bool operator==(const SpokenText&) const = default;
};

// Turns bare lower-case words ("hello comma how are you question mark") into
// text as the cloud engines return it ("Hello, how are you?"): spoken
// punctuation and line breaks become characters, "um" and "uh" go, sentences
// and "I" get their capitals and the text ends with a full stop unless it
// already ends in punctuation. Tokens in angle or square brackets (silence and
// noise markers) are dropped.
SpokenText formatSpokenWords(std::string_view words);

} // namespace quillo
