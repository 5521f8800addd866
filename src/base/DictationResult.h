#pragma once

#include <stdexcept>
#include <string>

namespace quillo {

// What one dictation produced: the text to paste, and whether the user asked
// for Return to be pressed after it.
struct DictationResult
{
    std::string text;
    bool simulateEnter = false;

    bool operator==(const DictationResult&) const = default;
};

// The failures of the transcription path that the user sees as they stand.
// what() is the user-facing description.
class DictationError : public std::runtime_error
{
public:
    enum class Kind
    {
        api,
        network,
        auth,
        parse,
        insecureEndpoint
    };

    // The service that answered; users bring their own keys, so the texts
    // name the one to check.
    enum class Service
    {
        openAI,
        deepgram
    };

    static DictationError api(const std::string& message);
    static DictationError network();
    static DictationError auth(Service service);
    static DictationError parse();
    // An endpoint that would carry a key unencrypted to another computer.
    static DictationError insecureEndpoint(const std::string& url);

    Kind kind() const { return m_kind; }
    // The payload of `api`; empty for the other kinds.
    const std::string& message() const { return m_message; }

private:
    DictationError(Kind kind, std::string message, const std::string& description);

    Kind m_kind;
    std::string m_message;
};

// The recorded audio could not be read; nothing was sent anywhere.
class FileReadError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

} // namespace quillo
