#include "TestDesktop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QThread>

namespace quillo::test {

namespace {

// The system's interpreter: the test desktop's private HOME hides per-user
// Python installations.
const QString kPython = QStringLiteral("/usr/bin/python3");

const char* const kEntryWindowScript = R"(
import json, os, sys, tkinter as tk
state_path, title, geometry = sys.argv[1:4]
root = tk.Tk()
root.title(title)
root.geometry(geometry)
entry = tk.Entry(root, font=('DejaVu Sans', 14))
entry.pack(fill='both', expand=True)
returns = []
entry.bind('<Return>', lambda event: returns.append(entry.get()))
keys = []
root.bind_all('<KeyPress>', lambda event: keys.append('press ' + event.keysym), '+')
root.bind_all('<KeyRelease>', lambda event: keys.append('release ' + event.keysym), '+')
last = [None]
def save():
    state = {'text': entry.get(), 'returns': list(returns), 'keys': list(keys), 'focused': root.focus_get() is entry}
    if state != last[0]:
        with open(state_path + '.tmp', 'w', encoding='utf-8') as f:
            json.dump(state, f)
        os.replace(state_path + '.tmp', state_path)
        last[0] = state
    root.after(20, save)
def take_focus():
    root.focus_force()
    entry.focus_set()
root.after(100, take_focus)
save()
root.mainloop()
)";

const char* const kClipboardOwnerScript = R"(
import sys, tkinter as tk
root = tk.Tk()
root.withdraw()
root.clipboard_clear()
for pair in sys.argv[1:]:
    kind, data = pair.split('=', 1)
    # Tk hands these strings out byte for byte as Latin-1.
    root.clipboard_append(bytes.fromhex(data).decode('latin-1'), type=kind)
root.update()
print('ready', flush=True)
root.mainloop()
)";

void stop(QProcess& process)
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(3000);
    }
}

} // namespace

bool pumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

void processEventsFor(int milliseconds)
{
    pumpUntil([] { return false; }, milliseconds);
}

QByteArray runTool(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    if (!pumpUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        stop(process);
        return {};
    }
    return process.readAllStandardOutput();
}

QImage screenshotOfDisplay()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("screen.png"));
    runTool(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
    return QImage(path);
}

QByteArray readClipboard(const QString& target)
{
    return runTool(QStringLiteral("xclip"),
                   {QStringLiteral("-o"),
                    QStringLiteral("-selection"),
                    QStringLiteral("clipboard"),
                    QStringLiteral("-t"),
                    target});
}

QString activeWindow()
{
    return QString::fromLatin1(runTool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")})).trimmed();
}

TkEntryWindow::TkEntryWindow(const QString& title, const QRect& geometry) : m_title(title)
{
    const QString shape =
        QStringLiteral("%1x%2+%3+%4").arg(geometry.width()).arg(geometry.height()).arg(geometry.x()).arg(geometry.y());
    m_process.start(kPython,
                    {QStringLiteral("-c"),
                     QString::fromUtf8(kEntryWindowScript),
                     m_dir.filePath(QStringLiteral("state")),
                     title,
                     shape});
}

TkEntryWindow::~TkEntryWindow()
{
    stop(m_process);
}

bool TkEntryWindow::waitUntilFocused(int timeoutMs)
{
    return pumpUntil(
        [&] {
            if (!state().value(QStringLiteral("focused")).toBool()) {
                return false;
            }
            const QString name =
                QString::fromUtf8(runTool(QStringLiteral("xdotool"),
                                          {QStringLiteral("getactivewindow"), QStringLiteral("getwindowname")}))
                    .trimmed();
            return name == m_title;
        },
        timeoutMs);
}

bool TkEntryWindow::waitForText(const QString& expected, int timeoutMs)
{
    return pumpUntil([&] { return text() == expected; }, timeoutMs);
}

QJsonObject TkEntryWindow::state() const
{
    QFile file(m_dir.filePath(QStringLiteral("state")));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QJsonDocument::fromJson(file.readAll()).object();
}

TkClipboardOwner::TkClipboardOwner(const QList<Format>& formats) : m_formats(formats)
{
    QStringList arguments{QStringLiteral("-c"), QString::fromUtf8(kClipboardOwnerScript)};
    for (const Format& format : formats) {
        arguments.append(format.type + QLatin1Char('=') + QString::fromLatin1(format.data.toHex()));
    }
    m_process.start(kPython, arguments);
}

TkClipboardOwner::~TkClipboardOwner()
{
    stop(m_process);
}

bool TkClipboardOwner::waitUntilOffered(int timeoutMs)
{
    return pumpUntil(
        [&] {
            const QByteArray targets = readClipboard(QStringLiteral("TARGETS"));
            for (const Format& format : m_formats) {
                if (!targets.split('\n').contains(format.type.toLatin1())) {
                    return false;
                }
            }
            return true;
        },
        timeoutMs);
}

} // namespace quillo::test
