#include "transcription/SpokenTextFormatter.h"

#include <algorithm>
#include <array>
#include <vector>

namespace quillo {

namespace {

enum class Mark
{
    attached,   // , . ? ! : ; — glued to the word before
    lineBreak,  // one or two line feeds, no spaces around
    openQuote,  // space before, glued to the word after
    closeQuote, // glued to the word before, space after
    hyphen,     // glued on both sides: x-ray
    dash,       // spaced on both sides: yes - maybe
};

struct Command
{
    std::array<std::string_view, 2> words; // second empty for one-word commands
    Mark mark;
    std::string_view characters;
};

// The spoken commands the clean-up model also obeys, longest first where one
// is the start of another.
constexpr std::array kCommands = {
    Command{{"new", "paragraph"}, Mark::lineBreak, "\n\n"},
    Command{{"new", "line"}, Mark::lineBreak, "\n"},
    Command{{"newline", ""}, Mark::lineBreak, "\n"},
    Command{{"comma", ""}, Mark::attached, ","},
    Command{{"period", ""}, Mark::attached, "."},
    Command{{"full", "stop"}, Mark::attached, "."},
    Command{{"question", "mark"}, Mark::attached, "?"},
    Command{{"exclamation", "mark"}, Mark::attached, "!"},
    Command{{"exclamation", "point"}, Mark::attached, "!"},
    Command{{"semi", "colon"}, Mark::attached, ";"},
    Command{{"semicolon", ""}, Mark::attached, ";"},
    Command{{"colon", ""}, Mark::attached, ":"},
    Command{{"open", "quote"}, Mark::openQuote, "\""},
    Command{{"close", "quote"}, Mark::closeQuote, "\""},
    Command{{"hyphen", ""}, Mark::hyphen, "-"},
    Command{{"dash", ""}, Mark::dash, "-"},
};

constexpr std::array<std::string_view, 6> kFillers = {"um", "umm", "uh", "uhh", "uhm", "erm"};

bool isFiller(std::string_view word)
{
    return std::find(kFillers.begin(), kFillers.end(), word) != kFillers.end();
}

std::vector<std::string> tokens(std::string_view words)
{
    std::vector<std::string> result;
    std::size_t at = 0;
    while (at < words.size()) {
        const auto start = words.find_first_not_of(" \t\r\n", at);
        if (start == std::string_view::npos) {
            break;
        }
        const auto end = std::min(words.find_first_of(" \t\r\n", start), words.size());
        std::string word(words.substr(start, end - start));
        at = end;
        std::transform(word.begin(), word.end(), word.begin(), [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        });
        if (word.front() == '<' || word.front() == '[' || isFiller(word)) {
            continue;
        }
        result.push_back(std::move(word));
    }
    return result;
}

const Command* commandAt(const std::vector<std::string>& words, std::size_t i)
{
    for (const auto& command : kCommands) {
        if (words[i] != command.words[0]) {
            continue;
        }
        if (command.words[1].empty()) {
            return &command;
        }
        if (i + 1 < words.size() && words[i + 1] == command.words[1]) {
            return &command;
        }
    }
    return nullptr;
}

// "i", "i'm", "i'll", "i've", "i'd".
bool isFirstPersonI(std::string_view word)
{
    return word == "i" || (word.size() > 2 && word[0] == 'i' && word[1] == '\'');
}

class Writer
{
public:
    void word(std::string text)
    {
        if (m_capitalize || isFirstPersonI(text)) {
            if (text[0] >= 'a' && text[0] <= 'z') {
                text[0] = static_cast<char>(text[0] - 'a' + 'A');
            }
        }
        space();
        m_out += text;
        m_spaceNext = true;
        m_capitalize = false;
    }

    void mark(const Command& command)
    {
        switch (command.mark) {
        case Mark::attached:
            // Punctuation with no word before it has nothing to punctuate.
            if (m_out.empty() || m_out.back() == '\n') {
                return;
            }
            m_out += command.characters;
            m_spaceNext = true;
            m_capitalize = command.characters != "," && command.characters != ":" && command.characters != ";";
            return;
        case Mark::lineBreak:
            if (!m_out.empty()) {
                m_out += command.characters;
            }
            m_spaceNext = false;
            m_capitalize = true;
            return;
        case Mark::openQuote:
            space();
            m_out += command.characters;
            m_spaceNext = false;
            return;
        case Mark::closeQuote:
            m_out += command.characters;
            m_spaceNext = true;
            return;
        case Mark::hyphen:
            m_out += command.characters;
            m_spaceNext = false;
            return;
        case Mark::dash:
            space();
            m_out += command.characters;
            m_spaceNext = true;
            return;
        }
    }

    std::string finish()
    {
        while (!m_out.empty() && m_out.back() == '\n') {
            m_out.pop_back();
        }
        if (!m_out.empty()) {
            const char last = m_out.back();
            const bool endsInWord = last != '.' && last != '?' && last != '!' && last != ',' && last != ':' &&
                                    last != ';' && last != '-' && last != '"';
            const bool endsInQuotedWord = last == '"' && m_out.size() > 1 && m_out[m_out.size() - 2] != ' ';
            if (endsInWord || endsInQuotedWord) {
                m_out += '.';
            }
        }
        return std::move(m_out);
    }

private:
    void space()
    {
        if (m_spaceNext && !m_out.empty()) {
            m_out += ' ';
        }
    }

    std::string m_out;
    bool m_spaceNext = false;
    bool m_capitalize = true;
};

} // namespace

SpokenText formatSpokenWords(std::string_view words)
{
    std::vector<std::string> list = tokens(words);

    SpokenText result;
    // Only at the very end is "press enter" surely a command and not words.
    if (list.size() >= 2 && list.back() == "enter" &&
        (list[list.size() - 2] == "press" || list[list.size() - 2] == "hit")) {
        result.pressEnter = true;
        list.resize(list.size() - 2);
    }

    Writer writer;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (const Command* command = commandAt(list, i)) {
            writer.mark(*command);
            i += command->words[1].empty() ? 0 : 1;
        } else {
            writer.word(std::move(list[i]));
        }
    }
    result.text = writer.finish();
    return result;
}

} // namespace quillo
