#include "app/cli/TranscribeCommand.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <ostream>

#include "transcription/QuilloLanguage.h"
#include "transcription/Transcriber.h"

namespace quillo {

namespace {

struct Invocation
{
    std::string audioPath;
    std::optional<LanguageSet> languages;
    bool help = false;
};

struct UsageError
{
    std::string problem;
};

LanguageSet parseLanguages(const std::string& list)
{
    LanguageSet languages;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string code = list.substr(start, comma - start);
        if (!code.empty()) {
            if (!QuilloLanguage::find(code)) {
                throw UsageError{"unknown language code '" + code + "'"};
            }
            languages.insert(code);
        }
        start = comma + 1;
    }
    if (languages.empty()) {
        throw UsageError{"--languages needs at least one language code"};
    }
    return languages;
}

Invocation parse(const std::vector<std::string>& arguments)
{
    static const std::string kLanguagesOption = "--languages";
    Invocation invocation;
    bool haveFile = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            invocation.help = true;
        } else if (argument == kLanguagesOption) {
            if (i + 1 >= arguments.size()) {
                throw UsageError{"--languages needs a value, such as en,de"};
            }
            invocation.languages = parseLanguages(arguments[++i]);
        } else if (argument.rfind(kLanguagesOption + "=", 0) == 0) {
            invocation.languages = parseLanguages(argument.substr(kLanguagesOption.size() + 1));
        } else if (argument.size() > 1 && argument[0] == '-') {
            throw UsageError{"unknown option '" + argument + "'"};
        } else if (haveFile) {
            throw UsageError{"only one FILE can be transcribed at a time"};
        } else {
            invocation.audioPath = argument;
            haveFile = true;
        }
    }
    if (!haveFile && !invocation.help) {
        throw UsageError{"no FILE given"};
    }
    return invocation;
}

// Control characters other than tab and line feed written as \xNN (C1 as
// \u00NN), so no text can move the cursor, retitle or clear the terminal.
std::string forTerminal(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    char escaped[8];
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) {
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            result += escaped;
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned char>(text[++i]));
            result += escaped;
        } else {
            result += text[i];
        }
    }
    return result;
}

} // namespace

const char* TranscribeCommand::usage()
{
    return "Usage: quillo transcribe FILE [--languages CODES]\n"
           "Transcribes and cleans up one recording as a dictation would, and prints the text.\n"
           "  --languages CODES  comma-separated language codes, such as en,de\n"
           "                     (default: the languages enabled in Settings)";
}

int TranscribeCommand::run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    Invocation invocation;
    try {
        invocation = parse(arguments);
    } catch (const UsageError& error) {
        err << "quillo transcribe: " << error.problem << "\n" << usage() << "\n";
        return 2;
    }
    if (invocation.help) {
        out << usage() << "\n";
        return 0;
    }

    const LanguageSet languages = invocation.languages.value_or(QuilloLanguage::enabled(preferences));
    try {
        const DictationResult result = transcriber.transcribeAndClean(invocation.audioPath, languages, std::nullopt);
        if (!result.text.empty()) {
            out << forTerminal(result.text) << "\n";
        }
        out.flush();
        return 0;
    } catch (const std::exception& error) {
        err << "Quillo Error: " << forTerminal(error.what()) << "\n";
    } catch (...) {
        err << "Quillo Error: An unknown error occurred.\n";
    }
    return 1;
}

} // namespace quillo
