#pragma once

// The test desktop's programs, as the desktop tests drive and watch them.

#include <functional>

#include <QByteArray>
#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

namespace quillo::test {

// Lets the Qt event loop run (maps windows, delivers events, serves this
// process's clipboard) until `done` answers true or the time is up. Returns
// the last answer.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs);
void processEventsFor(int milliseconds);

// Runs a program of the test desktop while the event loop keeps running, so a
// program that reads this process's clipboard gets its answer. Returns its
// standard output; empty when it did not finish in time.
QByteArray runTool(const QString& program, const QStringList& arguments, int timeoutMs = 10000);

// A screenshot of the whole X screen, taken by another X client (ImageMagick),
// so it shows what the X server really composed.
QImage screenshotOfDisplay();

// What `xclip -o` reads from the CLIPBOARD selection for `target`.
QByteArray readClipboard(const QString& target);

// The window the window manager calls active, as xdotool prints it.
QString activeWindow();

// A Tk window in another process with one text entry that has the keyboard
// focus. It writes its state (text, the text at each Return, the keys it
// received, the focused widget) to a file whenever it changes, for the test to read.
class TkEntryWindow
{
public:
    explicit TkEntryWindow(const QString& title, const QRect& geometry = QRect(420, 300, 440, 120));
    ~TkEntryWindow();

    // Waits until the window manager has made the window active and the entry
    // has the focus; false when that does not happen.
    bool waitUntilFocused(int timeoutMs = 5000);
    // Waits until the entry holds exactly `expected`; false if it never does.
    bool waitForText(const QString& expected, int timeoutMs = 3000);

    QString text() const { return state().value(QStringLiteral("text")).toString(); }
    QStringList textsAtReturn() const { return state().value(QStringLiteral("returns")).toVariant().toStringList(); }
    // "press F5", "release F5", … in the order received.
    QStringList keys() const { return state().value(QStringLiteral("keys")).toVariant().toStringList(); }

private:
    QJsonObject state() const;

    QString m_title;
    QTemporaryDir m_dir;
    QProcess m_process;
};

// Another program that owns the clipboard with several formats at once, as a
// rich-text editor does: Tk, offering each (type, bytes) pair given. It keeps
// running (and serving) until destroyed or until someone else copies.
class TkClipboardOwner
{
public:
    struct Format
    {
        QString type;
        QByteArray data;
    };
    explicit TkClipboardOwner(const QList<Format>& formats);
    ~TkClipboardOwner();

    // True once the clipboard offers every format.
    bool waitUntilOffered(int timeoutMs = 5000);

private:
    QList<Format> m_formats;
    QProcess m_process;
};

} // namespace quillo::test
