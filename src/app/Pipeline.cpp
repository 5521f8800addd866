#include "app/Pipeline.h"

#include "platform/linux/XdgPaths.h"

namespace quillo {

Pipeline::Pipeline()
    : preferences(fileSystem, log, clock, xdg::preferencesPath()),
      store(fileSystem, preferences, log, clock, xdg::dataDirectory()),
      credentials(fileSystem, log, xdg::credentialsPath()), services({http, credentials, endpoints}),
      localSpeech({audioDecoder, recognizer, log}),
      transcriber({preferences, fileSystem, clock, log, services, rules, store, credentials, localSpeech})
{}

} // namespace quillo
