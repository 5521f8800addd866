#pragma once

namespace quillo {

// `quillo doctor`: asks the session, the audio server and the services
// directly, so it works where the app would not start (no display, no tray, no
// Quillo running).
int runDoctorCommand(int argc, char** argv);

} // namespace quillo
