#include "platform/qt/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringList>

namespace quillo {

namespace {

// Formats Qt lists that are not content: X selection bookkeeping, targets
// whose conversion makes the owner do something, and Qt's own in-process
// image conversion (the real image types are saved as they are).
bool isContentFormat(const QString& format)
{
    static const QStringList notContent = {
        QStringLiteral("TARGETS"),
        QStringLiteral("MULTIPLE"),
        QStringLiteral("TIMESTAMP"),
        QStringLiteral("SAVE_TARGETS"),
        QStringLiteral("DELETE"),
        QStringLiteral("INSERT_SELECTION"),
        QStringLiteral("INSERT_PROPERTY"),
        QStringLiteral("application/x-qt-image"),
    };
    return !notContent.contains(format);
}

QByteArray toBytes(const std::string& bytes)
{
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace

ClipboardContents QtClipboard::contents()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!data) {
        return {};
    }
    ClipboardItem item;
    for (const QString& format : data->formats()) {
        if (!isContentFormat(format)) {
            continue;
        }
        // Qt cannot tell a failed conversion from an empty one; neither is
        // worth restoring.
        const QByteArray bytes = data->data(format);
        if (bytes.isEmpty()) {
            continue;
        }
        item.push_back({format.toStdString(), bytes.toStdString()});
    }
    if (item.empty()) {
        return {};
    }
    return {std::move(item)};
}

Clipboard::WriteToken QtClipboard::setPrivateText(const std::string& text)
{
    auto* data = new QMimeData;
    data->setText(QString::fromStdString(text));
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    return write(data);
}

Clipboard::WriteToken QtClipboard::setContents(const ClipboardContents& contents)
{
    bool any = false;
    auto* data = new QMimeData;
    for (const ClipboardItem& item : contents) {
        for (const ClipboardRepresentation& representation : item) {
            const QString format = QString::fromStdString(representation.type);
            if (!data->hasFormat(format)) {
                data->setData(format, toBytes(representation.data));
                any = true;
            }
        }
    }
    if (!any) {
        delete data;
        data = nullptr;
    }
    return write(data);
}

void QtClipboard::setPrimaryText(const std::string& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection()) {
        clipboard->setText(QString::fromStdString(text), QClipboard::Selection);
    }
}

Clipboard::WriteToken QtClipboard::write(QMimeData* data)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (data) {
        clipboard->setMimeData(data, QClipboard::Clipboard);
    } else {
        clipboard->clear(QClipboard::Clipboard);
    }
    m_written = data;
    m_lastWriteEmpty = data == nullptr;
    // Qt does not report a refused selection (an X server that judges the
    // request older than the current owner's); asking who owns it does.
    m_lastWriteTookHold = data ? clipboard->mimeData(QClipboard::Clipboard) == data : true;
    return ++m_lastWrite;
}

bool QtClipboard::stillHolds(WriteToken token)
{
    if (token != m_lastWrite || !m_lastWriteTookHold) {
        return false;
    }
    const QMimeData* current = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (m_lastWriteEmpty) {
        return !current || current->formats().isEmpty();
    }
    return !m_written.isNull() && current == m_written.data();
}

} // namespace quillo
