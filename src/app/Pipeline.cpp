#include "app/Pipeline.h"

#include "platform/linux/Environment.h"
#include "platform/linux/XdgPaths.h"

namespace quillo {

namespace {

// QUILLO_LOG_TEXT=1 puts dictated text in the log lines, for debugging.
bool logDictatedText()
{
    return processEnvironment("QUILLO_LOG_TEXT") == "1";
}

} // namespace

Pipeline::Pipeline()
    : preferences(fileSystem, log, clock, xdg::preferencesPath()),
      store(fileSystem, preferences, log, clock, xdg::dataDirectory()),
      plainCredentials(fileSystem, log, xdg::credentialsPath()), credentials(plainCredentials, log),
      services({http, credentials, endpoints}), localSpeech({audioDecoder, recognizer, log}),
      transcriber(
          {preferences, fileSystem, clock, log, services, rules, store, credentials, localSpeech, logDictatedText()})
{}

} // namespace quillo
