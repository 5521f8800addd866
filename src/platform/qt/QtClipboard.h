#pragma once

#include <QPointer>

#include "platform/Clipboard.h"

class QMimeData;

namespace quillo {

// The CLIPBOARD selection through Qt. It holds a single item: `contents()`
// returns at most one, with every format its owner offers and the bytes Qt
// reads for it, less the targets that only describe the selection (TARGETS,
// MULTIPLE, TIMESTAMP, SAVE_TARGETS) or would ask the owner to act (DELETE,
// INSERT_SELECTION, INSERT_PROPERTY).
//
// The private text is offered as plain text together with the hint that
// clipboard managers honour (x-kde-passwordManagerHint = "secret").
//
// `stillHolds` relies on QClipboard::mimeData(), which on X11 asks the server
// who owns the selection at that moment; QClipboard::ownsClipboard() is only
// Qt's belief and lags until the event loop has seen the news.
//
// Needs a QGuiApplication; main thread only.
class QtClipboard final : public Clipboard
{
public:
    QtClipboard() = default;

    ClipboardContents contents() override;
    WriteToken setPrivateText(const std::string& text) override;
    WriteToken setContents(const ClipboardContents& contents) override;
    void setPrimaryText(const std::string& text) override;
    bool stillHolds(WriteToken token) override;

private:
    // Hands `data` (nullptr: nothing) to the clipboard and notes the write.
    WriteToken write(QMimeData* data);

    WriteToken m_lastWrite = 0;
    bool m_lastWriteTookHold = false; // whether the system let us have the selection
    bool m_lastWriteEmpty = false;
    QPointer<QMimeData> m_written; // owned by QClipboard, which deletes it when replaced
};

} // namespace quillo
