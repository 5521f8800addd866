#include "transcription/KeptRetry.h"

#include <cstdio>
#include <ctime>
#include <exception>
#include <ostream>

#include <nlohmann/json.hpp>

#include "base/DictationEntry.h"
#include "store/DataStore.h"
#include "transcription/Transcriber.h"

namespace quillo {

namespace {

constexpr int kUsageError = 2;
constexpr const char* kPendingUsage = "Usage: quillo pending [--json]\n"
                                      "List the dictations kept because they could not be transcribed.\n";
constexpr const char* kRetryUsage =
    "Usage: quillo retry --all | ID...\n"
    "Transcribe kept dictations again; each text is printed and added to the history.\n";

std::string formatTime(double date, bool utc)
{
    const std::time_t seconds = static_cast<std::time_t>(date) + kReferenceDateUnixSeconds;
    std::tm parts{};
    char text[32] = "?";
    if (utc ? gmtime_r(&seconds, &parts) != nullptr : localtime_r(&seconds, &parts) != nullptr) {
        std::strftime(text, sizeof text, utc ? "%Y-%m-%dT%H:%M:%SZ" : "%Y-%m-%d %H:%M:%S", &parts);
    }
    return text;
}

std::string formatDuration(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

} // namespace

RetryOutcome
retryKeptDictation(const KeptDictation& kept, Transcriber& transcriber, DataStore& history, KeptDictationStore& store)
{
    RetryOutcome outcome;
    try {
        const LanguageSet languages(kept.languages.begin(), kept.languages.end());
        const DictationResult result = transcriber.transcribeAndClean(kept.audioPath, languages, std::nullopt);
        if (!result.text.empty()) {
            history.addEntryMadeAt(kept.date, result.text, kept.duration, kept.appBundleID, kept.appName);
        }
        store.remove(kept.id);
        outcome.ok = true;
        outcome.text = result.text;
        return outcome;
    } catch (const std::exception& error) {
        outcome.error = error.what();
    } catch (...) {
        outcome.error = "An unknown error occurred.";
    }
    store.updateError(kept.id, outcome.error);
    return outcome;
}

namespace commands {

int pending(const KeptDictationStore& store, std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    bool json = false;
    for (const auto& arg : args) {
        if (arg == "--json") {
            json = true;
        } else {
            err << kPendingUsage;
            return kUsageError;
        }
    }
    const auto kept = store.list();
    if (json) {
        auto array = nlohmann::json::array();
        for (const auto& record : kept) {
            nlohmann::json object = {{"id", record.id},
                                     {"date", formatTime(record.date, true)},
                                     {"duration", record.duration},
                                     {"error", record.error}};
            if (record.appName) {
                object["appName"] = *record.appName;
            }
            array.push_back(std::move(object));
        }
        out << array.dump(2) << "\n";
        return 0;
    }
    if (kept.empty()) {
        out << "No dictations are waiting to be transcribed.\n";
    }
    for (const auto& record : kept) {
        out << record.id << "  " << formatTime(record.date, false) << "  " << formatDuration(record.duration) << "  "
            << record.error << "\n";
    }
    return 0;
}

int retry(KeptDictationStore& store,
          Transcriber& transcriber,
          DataStore& history,
          std::span<const std::string> args,
          std::ostream& out,
          std::ostream& err)
{
    const bool all = args.size() == 1 && args[0] == "--all";
    bool usable = !args.empty();
    for (const auto& arg : args) {
        usable = usable && (all || !arg.starts_with("-"));
    }
    if (!usable) {
        err << kRetryUsage;
        return kUsageError;
    }
    int status = 0;
    std::vector<KeptDictation> chosen;
    if (all) {
        chosen = store.list();
    } else {
        for (const auto& id : args) {
            if (auto found = store.find(id)) {
                chosen.push_back(std::move(*found));
            } else {
                err << id << ": no such kept dictation\n";
                status = 1;
            }
        }
    }
    for (const auto& kept : chosen) {
        const auto outcome = retryKeptDictation(kept, transcriber, history, store);
        if (outcome.ok) {
            out << outcome.text << "\n";
        } else {
            err << kept.id << ": " << outcome.error << "\n";
            status = 1;
        }
        out.flush();
    }
    return status;
}

} // namespace commands

} // namespace quillo
