#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Clipboard.h"

class QProcess;

namespace quillo {

// The Wayland clipboard, through the wl-clipboard tools: `wl-copy` sets it
// (over the data-control protocol where the compositor has it, so no window
// of ours needs the focus) and `wl-paste` reads it.
//
// Each write is one `wl-copy --foreground` child that serves the clipboard
// until something else replaces it and then exits, which is what `stillHolds`
// asks. One tool run offers one type (text also under its usual aliases), so
// the clipboard holds one representation here: `contents()` reads the one
// worth keeping (plain text when offered, else the first type) and
// `setContents` writes back the first. The private text cannot carry the
// password-manager hint this way.
//
// Main thread; needs a QCoreApplication. Every read is bounded by kTimeoutMs.
class WlClipboard final : public Clipboard
{
public:
    static constexpr int kTimeoutMs = 1000;

    WlClipboard();
    ~WlClipboard() override;

    ClipboardContents contents() override;
    WriteToken setPrivateText(const std::string& text) override;
    WriteToken setContents(const ClipboardContents& contents) override;
    // Pastes on Wayland take the clipboard: nothing to do.
    void setPrimaryText(const std::string&) override {}
    bool stillHolds(WriteToken token) override;

private:
    WriteToken write(const std::string& type, const std::string& data);

    std::unique_ptr<QProcess> m_owner;                // the wl-copy serving our last write
    std::vector<std::unique_ptr<QProcess>> m_retired; // earlier ones, until they exit
    WriteToken m_lastWrite = 0;
};

} // namespace quillo
