#pragma once

namespace quillo {

// The floating "Recording…" pill shown while the microphone records. It never
// takes focus from the application the user dictates into.
//
// Threading: main thread. Showing an already visible indicator (or hiding a
// hidden one) does nothing.
class RecordingIndicator
{
public:
    virtual ~RecordingIndicator() = default;
    virtual void show() = 0;
    virtual void hide() = 0;
};

} // namespace quillo
