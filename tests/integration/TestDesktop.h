#pragma once

// The test desktop's programs, as the desktop tests drive and watch them.

#include <functional>
#include <utility>

#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>

namespace quillo::test {

// Lets the Qt event loop run (maps windows, delivers events, serves this
// process's clipboard) until `done` answers true or the time is up.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs);
void processEventsFor(int milliseconds);

// Runs a program while the event loop keeps running, so a program that reads
// this process's clipboard gets its answer. Returns its standard output.
QByteArray runTool(const QString& program, const QStringList& arguments, int timeoutMs = 10000);

// The whole X screen as another X client (ImageMagick) sees it.
QImage screenshotOfDisplay();

// What `xclip -o` reads from the CLIPBOARD selection for `target`.
QByteArray readClipboard(const QString& target);

// A Tk window in another process with one focused text entry. It writes its
// state (text, the text at each Return, the keys it received) to a file for
// the test to read. Given formats, it also owns the clipboard with all of them
// at once, as a rich-text editor does.
class TkEntryWindow
{
public:
    using Formats = QList<std::pair<QString, QByteArray>>;
    explicit TkEntryWindow(const QString& title,
                           const QRect& geometry = QRect(420, 300, 440, 120),
                           const Formats& clipboard = {});
    ~TkEntryWindow();

    // The window manager made the window active and the entry has the focus.
    bool waitUntilFocused(int timeoutMs = 5000);
    bool waitForText(const QString& expected, int timeoutMs = 3000);

    QString text() const { return state().value(QStringLiteral("text")).toString(); }
    QStringList textsAtReturn() const { return list(QStringLiteral("returns")); }
    // "press F5", "release F5", … in the order received.
    QStringList keys() const { return list(QStringLiteral("keys")); }

private:
    QJsonObject state() const;
    QStringList list(const QString& name) const;

    QString m_title;
    QTemporaryDir m_dir;
    QProcess m_process;
};

} // namespace quillo::test
