#include "TestDesktop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QThread>

namespace quillo::test {

namespace {

const char* const kEntryWindowScript = R"(
import json, os, sys, tkinter as tk
state_path, title, geometry = sys.argv[1:4]
root = tk.Tk()
root.title(title)
root.geometry(geometry)
if sys.argv[4:]:
    root.clipboard_clear()
for pair in sys.argv[4:]:
    kind, data = pair.split('=', 1)
    # Tk hands these strings out byte for byte as Latin-1.
    root.clipboard_append(bytes.fromhex(data).decode('latin-1'), type=kind)
entry = tk.Entry(root, font=('DejaVu Sans', 14))
entry.pack(fill='both', expand=True)
returns, keys = [], []
entry.bind('<Return>', lambda event: returns.append(entry.get()))
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
root.after(100, lambda: (root.focus_force(), entry.focus_set()))
save()
root.mainloop()
)";

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
        process.kill();
        process.waitForFinished(3000);
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
    return runTool(QStringLiteral("xclip"), QStringLiteral("-o -selection clipboard -t").split(u' ') << target);
}

TkEntryWindow::TkEntryWindow(const QString& title, const QRect& geometry, const Formats& clipboard) : m_title(title)
{
    // The system's interpreter: the test desktop's private HOME hides per-user Python installations.
    QStringList arguments{
        QStringLiteral("-c"),
        QString::fromUtf8(kEntryWindowScript),
        m_dir.filePath(QStringLiteral("state")),
        title,
        QStringLiteral("%1x%2+%3+%4").arg(geometry.width()).arg(geometry.height()).arg(geometry.x()).arg(geometry.y())};
    for (const auto& [type, data] : clipboard) {
        arguments << type + QLatin1Char('=') + QString::fromLatin1(data.toHex());
    }
    m_process.start(QStringLiteral("/usr/bin/python3"), arguments);
}

TkEntryWindow::~TkEntryWindow()
{
    m_process.kill();
    m_process.waitForFinished(3000);
}

bool TkEntryWindow::waitUntilFocused(int timeoutMs)
{
    return pumpUntil(
        [&] {
            return state().value(QStringLiteral("focused")).toBool() &&
                   runTool(QStringLiteral("xdotool"),
                           {QStringLiteral("getactivewindow"), QStringLiteral("getwindowname")})
                           .trimmed() == m_title.toUtf8();
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
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

QStringList TkEntryWindow::list(const QString& name) const
{
    return state().value(name).toVariant().toStringList();
}

} // namespace quillo::test
