// The controller's side of kept dictations: the error notification with its
// Retry button, retries from History or the command line, and deletion.

#include <sstream>

#include "base/IfAlive.h"
#include "dictation/AppDelegate.h"
#include "output/Paster.h"
#include "platform/Executor.h"
#include "platform/MainQueue.h"
#include "platform/Notifier.h"
#include "store/KeptDictations.h"
#include "transcription/KeptRetry.h"

namespace quillo {

namespace {

constexpr const char* kRetryLabel = "Retry";
// Enough of a retried text to recognise it in a notification.
constexpr std::size_t kExcerptBytes = 120;

std::string excerpt(const std::string& text)
{
    if (text.size() <= kExcerptBytes) {
        return text;
    }
    std::size_t end = kExcerptBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end; // never cut a UTF-8 sequence
    }
    return text.substr(0, end) + "\u2026";
}

} // namespace

void AppDelegate::notifyKeptFailure(const std::string& id, const std::string& error, bool kept)
{
    if (!kept) {
        notify("Quillo Error", error);
        return;
    }
    if (!m_deps.notifier.supportsActions()) {
        notify("Quillo Error", error + " The dictation was kept: retry it from History.");
        return;
    }
    m_deps.notifier.notify("Quillo Error",
                           error + " The dictation was kept: press Retry, or retry it later from History.",
                           kRetryLabel,
                           ifAlive(weak_from_this(), [id](AppDelegate& self) { self.retryKept(id); }));
}

void AppDelegate::retryKept(const std::string& id)
{
    if (!m_retrying.insert(id).second) {
        return; // already under way
    }
    updateIcon(settledIconState());
    m_deps.executor.run([pipeline = pipeline(), weak = weak_from_this(), id] {
        const auto kept = pipeline.kept.find(id);
        RetryOutcome outcome;
        if (kept) {
            outcome = retryKeptDictation(*kept, pipeline.transcriber, pipeline.history, pipeline.kept);
        }
        pipeline.mainQueue.post([weak, id, found = kept.has_value(), outcome] {
            auto self = weak.lock();
            if (!self) {
                return;
            }
            self->finishRetry(id);
            if (!found) {
                return; // deleted or retried from elsewhere meanwhile
            }
            if (!outcome.ok) {
                self->notifyKeptFailure(id, outcome.error, true);
            } else if (outcome.text.empty()) {
                self->notify("Dictation Transcribed", "Nothing was said in it, so it was removed.");
            } else {
                self->m_deps.paster.copy(outcome.text);
                self->notify("Dictation Transcribed",
                             "The text was copied to the clipboard and added to History: " + excerpt(outcome.text));
            }
        });
    });
}

void AppDelegate::finishRetry(const std::string& id)
{
    m_retrying.erase(id);
    updateIcon(settledIconState());
}

void AppDelegate::deleteKept(const std::string& id)
{
    m_deps.keptDictations.remove(id);
}

void AppDelegate::runKeptCommand(const std::string& name, const std::vector<std::string>& args, CommandReply reply)
{
    if (name == "pending") {
        std::ostringstream out;
        std::ostringstream err;
        const int status = commands::pending(m_deps.keptDictations, args, out, err);
        reply(status, out.str(), err.str());
        return;
    }
    if (name != "retry") {
        reply(2, "", "Unknown command: " + name + "\n"); // the command-line status of a usage error
        return;
    }
    ++m_commandsRunning;
    m_deps.executor.run([pipeline = pipeline(), weak = weak_from_this(), args, reply = std::move(reply)] {
        std::ostringstream out;
        std::ostringstream err;
        const int status = commands::retry(pipeline.kept, pipeline.transcriber, pipeline.history, args, out, err);
        pipeline.mainQueue.post([weak, reply, status, out = out.str(), err = err.str()] {
            if (auto self = weak.lock()) {
                --self->m_commandsRunning;
            }
            reply(status, out, err);
        });
    });
}

} // namespace quillo
