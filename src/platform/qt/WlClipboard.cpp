#include "platform/qt/WlClipboard.h"

#include <optional>
#include <vector>

#include <QProcess>
#include <QStringList>

namespace quillo {

namespace {

// The tool's output, or nothing when it failed, or took too long.
std::optional<QByteArray> runWlPaste(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("wl-paste"), arguments);
    if (!process.waitForFinished(WlClipboard::kTimeoutMs)) {
        process.kill();
        process.waitForFinished(WlClipboard::kTimeoutMs);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt; // "No selection", or no Wayland display
    }
    return process.readAllStandardOutput();
}

} // namespace

WlClipboard::WlClipboard() = default;

WlClipboard::~WlClipboard() = default; // the children are killed with their QProcess

ClipboardContents WlClipboard::contents()
{
    const auto listed = runWlPaste({QStringLiteral("--list-types")});
    if (!listed) {
        return {};
    }
    // MIME types only: the bare names (TEXT, UTF8_STRING) are X11 aliases.
    QString chosen;
    for (const QByteArray& line : listed->split('\n')) {
        const QString type = QString::fromUtf8(line.trimmed());
        if (!type.contains(QLatin1Char('/'))) {
            continue;
        }
        if (chosen.isEmpty() || type == QLatin1String("text/plain;charset=utf-8") ||
            (type == QLatin1String("text/plain") && chosen != QLatin1String("text/plain;charset=utf-8"))) {
            chosen = type;
        }
    }
    if (chosen.isEmpty()) {
        return {};
    }
    const auto data = runWlPaste({QStringLiteral("--no-newline"), QStringLiteral("--type"), chosen});
    if (!data) {
        return {};
    }
    return {{{chosen.toStdString(), data->toStdString()}}};
}

Clipboard::WriteToken WlClipboard::setPrivateText(const std::string& text)
{
    return write("text/plain;charset=utf-8", text);
}

Clipboard::WriteToken WlClipboard::setContents(const ClipboardContents& contents)
{
    if (contents.empty() || contents.front().empty()) {
        QProcess::execute(QStringLiteral("wl-copy"), {QStringLiteral("--clear")});
        return write({}, {});
    }
    const ClipboardRepresentation& first = contents.front().front();
    return write(first.type, first.data);
}

Clipboard::WriteToken WlClipboard::write(const std::string& type, const std::string& data)
{
    ++m_lastWrite;
    auto owner = std::make_unique<QProcess>();
    if (!type.empty()) {
        owner->start(QStringLiteral("wl-copy"),
                     {QStringLiteral("--foreground"), QStringLiteral("--type"), QString::fromStdString(type)});
        if (owner->waitForStarted(kTimeoutMs)) {
            owner->write(data.data(), static_cast<qint64>(data.size()));
            owner->closeWriteChannel();
        }
    }
    // The earlier owner exits by itself once replaced; it is kept until then,
    // since dropping a running child kills it.
    std::erase_if(m_retired, [](const auto& process) { return process->state() == QProcess::NotRunning; });
    if (m_owner) {
        m_retired.push_back(std::move(m_owner));
    }
    m_owner = type.empty() ? nullptr : std::move(owner);
    return m_lastWrite;
}

bool WlClipboard::stillHolds(WriteToken token)
{
    if (token != m_lastWrite || !m_owner) {
        return false;
    }
    m_owner->waitForFinished(0); // take the news of an exit that has not been read yet
    return m_owner->state() == QProcess::Running;
}

} // namespace quillo
