#include "app/cli/StoreCommands.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <optional>
#include <ostream>

#include <nlohmann/json.hpp>

#include "store/DataStore.h"
#include "store/RecordJson.h"

namespace quillo::commands {

namespace {

constexpr const char* kStatsUsage = "Usage: quillo stats [--json]\n"
                                    "Print the dictation statistics: total dictations, total words, average words\n"
                                    "per minute, current and longest daily streak.\n";
constexpr const char* kHistoryUsage = "Usage: quillo history [--json] [--limit N]\n"
                                      "Print the dictation history, newest first: local time, duration, application\n"
                                      "and text, one entry per line; with --json, an array of history entries.\n";

std::string plural(int count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string localTime(const DictationEntry& entry)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(entry.time());
    std::tm local{};
    char text[32] = "?";
    if (localtime_r(&seconds, &local)) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    }
    return text;
}

// Keeps one entry on one line and the columns apart, and writes every other
// control character as \xNN (C1 as \u00NN) so that none reaches the terminal.
std::string escaped(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    char code[8];
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned char>(text[++i]));
            result += code;
            continue;
        }
        switch (c) {
        case '\\':
            result += "\\\\";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\t':
            result += "\\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                std::snprintf(code, sizeof code, "\\x%02X", byte);
                result += code;
            } else {
                result += c;
            }
        }
    }
    return result;
}

std::optional<std::size_t> parseCount(const std::string& text)
{
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

int stats(const DataStore& store, std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    bool json = false;
    for (const std::string& arg : args) {
        if (arg == "--json") {
            json = true;
        } else if (arg == "--help" || arg == "-h") {
            out << kStatsUsage;
            return 0;
        } else {
            err << "quillo stats: unknown argument '" << arg << "'\n" << kStatsUsage;
            return kUsageError;
        }
    }

    const DictationStatistics figures = store.statistics();
    if (json) {
        nlohmann::ordered_json object;
        object["totalDictations"] = figures.totalDictations;
        object["totalWords"] = figures.totalWords;
        object["avgWPM"] = figures.avgWPM ? nlohmann::ordered_json(*figures.avgWPM) : nlohmann::ordered_json(nullptr);
        object["currentStreak"] = figures.currentStreak;
        object["longestStreak"] = figures.longestStreak;
        out << object.dump() << '\n';
        return 0;
    }

    char wpm[32] = "-";
    if (figures.avgWPM) {
        std::snprintf(wpm, sizeof wpm, "%.0f", *figures.avgWPM);
    }
    out << "Total dictations: " << figures.totalDictations << '\n'
        << "Total words:      " << figures.totalWords << '\n'
        << "Average WPM:      " << wpm << '\n'
        << "Current streak:   " << plural(figures.currentStreak, "day", "days") << '\n'
        << "Longest streak:   " << plural(figures.longestStreak, "day", "days") << '\n';
    return 0;
}

int history(const DataStore& store, std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    bool json = false;
    std::optional<std::size_t> limit;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json") {
            json = true;
        } else if (arg == "--help" || arg == "-h") {
            out << kHistoryUsage;
            return 0;
        } else if (arg == "--limit" || arg.starts_with("--limit=")) {
            std::string value;
            if (arg == "--limit") {
                if (i + 1 == args.size()) {
                    err << "quillo history: --limit needs a number\n" << kHistoryUsage;
                    return kUsageError;
                }
                value = args[++i];
            } else {
                value = arg.substr(std::string("--limit=").size());
            }
            limit = parseCount(value);
            if (!limit) {
                err << "quillo history: --limit needs a whole number of entries, not '" << value << "'\n"
                    << kHistoryUsage;
                return kUsageError;
            }
        } else {
            err << "quillo history: unknown argument '" << arg << "'\n" << kHistoryUsage;
            return kUsageError;
        }
    }

    store.readHistory([&](std::span<const DictationEntry> entries) {
        const auto shown = entries.first(std::min(entries.size(), limit.value_or(entries.size())));
        if (json) {
            out << encodeHistory(shown) << '\n';
            return;
        }
        char duration[32];
        for (const DictationEntry& entry : shown) {
            std::snprintf(duration, sizeof duration, "%.1fs", entry.duration());
            const std::string app = entry.appName().value_or(entry.appBundleID().value_or("-"));
            out << localTime(entry) << '\t' << duration << '\t' << escaped(app) << '\t' << escaped(entry.text())
                << '\n';
        }
    });
    return 0;
}

} // namespace quillo::commands
