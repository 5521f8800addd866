#include "ui/settings/HotkeysCard.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/settings/KeyCaptureOverlay.h"
#include "ui/settings/KeyNames.h"
#include "ui/settings/SettingsParts.h"
#include "ui/widgets/FlowLayout.h"
#include "ui/widgets/PillButton.h"
#include "ui/widgets/QuilloTheme.h"

namespace quillo {

using namespace settings;

namespace {

std::size_t indexOf(HotkeyAction action)
{
    return static_cast<std::size_t>(action);
}

} // namespace

// ------------------------------------------------------------------ ShortcutPill

ShortcutPill::ShortcutPill(int keyCode, bool canRemove, QWidget* parent) : QWidget(parent), m_keyCode(keyCode)
{
    setObjectName(QStringLiteral("shortcutPill"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 5, canRemove ? 6 : 12, 5);
    layout->setSpacing(6);
    m_name = new ThemedLabel(displayKeyName(keyCode),
                             ThemedLabel::Role::primary,
                             theme::font(theme::captionSize, QFont::Medium));
    layout->addWidget(m_name);
    if (canRemove) {
        m_remove = new QToolButton;
        m_remove->setObjectName(QStringLiteral("removeKey"));
        m_remove->setToolTip(QStringLiteral("Remove"));
        m_remove->setAccessibleName(QStringLiteral("Remove %1").arg(displayKeyName(keyCode)));
        m_remove->setAutoRaise(true);
        m_remove->setCursor(Qt::PointingHandCursor);
        m_remove->setFixedSize(20, 20);
        m_remove->setIconSize(QSize(12, 12));
        const QPixmap xmark =
            theme::tintedIcon({"window-close-symbolic"}, theme::textSecondary(palette()), 12, devicePixelRatioF());
        if (xmark.isNull()) {
            m_remove->setText(QStringLiteral("×"));
        } else {
            m_remove->setIcon(xmark);
        }
        connect(m_remove, &QToolButton::clicked, this, [this] { emit removeRequested(m_keyCode); });
        layout->addWidget(m_remove);
    }
}

QString ShortcutPill::keyName() const
{
    return m_name->text();
}

void ShortcutPill::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(theme::cardBorder(palette()));
    painter.setBrush(theme::keycapBg(palette()));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 7, 7);
}

// ------------------------------------------------------------------ HotkeysCard

HotkeysCard::HotkeysCard(Preferences& preferences, QWidget* parent)
    : CardFrame(12, 3, parent), m_hotkeys(preferences), m_bindings(m_hotkeys.bindings())
{
    struct RowText
    {
        HotkeyAction action;
        const char16_t* label;
        const char16_t* description;
    };
    static constexpr RowText kRows[] = {
        {HotkeyAction::hold, u"Hold to record", u"Hold this key while speaking. Release to transcribe and paste."},
        {HotkeyAction::toggle, u"Hands-free toggle", u"Press once to start recording, press again to stop and paste."},
        {HotkeyAction::pasteLast, u"Paste last", u"Re-pastes your most recent dictation at the cursor."},
    };

    QVBoxLayout* layout = cardLayout(this);
    for (const RowText& text : kRows) {
        if (text.action != HotkeyAction::hold) {
            layout->addWidget(new Divider);
        }
        auto* block = new QVBoxLayout;
        block->setSpacing(4);
        block->addWidget(rowTitle(QString::fromUtf16(text.label)));
        block->addWidget(rowDescription(QString::fromUtf16(text.description)));
        block->addSpacing(8);

        HotkeyRow& row = m_hotkeyRows[indexOf(text.action)];
        row.action = text.action;
        auto* keys = new QWidget;
        row.keys = new FlowLayout(keys, 8);
        row.keys->setContentsMargins(0, 0, 0, 0);
        row.add = accentButton(QStringLiteral("Add shortcut"), {"list-add-symbolic"});
        row.add->setObjectName(QStringLiteral("addShortcut"));
        row.add->setAccessibleName(QStringLiteral("Add shortcut for ") + QString::fromUtf16(text.label));
        connect(row.add, &QAbstractButton::clicked, this, [this, action = text.action] { startCapture(action); });
        row.keys->addWidget(row.add);
        block->addWidget(keys);
        layout->addLayout(block);
    }

    layout->addWidget(new Divider);
    m_duplicateWarning = new QLabel;
    m_duplicateWarning->setObjectName(QStringLiteral("duplicateWarning"));
    m_duplicateWarning->setFont(theme::font(theme::captionSize));
    m_duplicateWarning->setWordWrap(true);
    m_duplicateWarning->setStyleSheet(
        QStringLiteral("color: %1; background: transparent;").arg(warningOrange().name()));
    m_duplicateWarning->hide();
    layout->addWidget(m_duplicateWarning);
}

std::vector<ShortcutPill*> HotkeysCard::pills(HotkeyAction action) const
{
    std::vector<ShortcutPill*> result;
    const FlowLayout* layout = m_hotkeyRows[indexOf(action)].keys;
    for (int i = 0; i < layout->count(); ++i) {
        if (auto* pill = qobject_cast<ShortcutPill*>(layout->itemAt(i)->widget())) {
            result.push_back(pill);
        }
    }
    return result;
}

QAbstractButton* HotkeysCard::addShortcutButton(HotkeyAction action) const
{
    return m_hotkeyRows[indexOf(action)].add;
}

void HotkeysCard::reload()
{
    m_bindings = m_hotkeys.bindings();
    for (HotkeyRow& row : m_hotkeyRows) {
        rebuildPills(row);
    }
}

void HotkeysCard::rebuildPills(HotkeyRow& row)
{
    while (QLayoutItem* item = row.keys->takeAt(0)) {
        if (item->widget() != row.add) {
            delete item->widget();
        }
        delete item;
    }
    const std::vector<int>& codes = m_bindings.codes(row.action);
    for (int code : codes) {
        auto* pill = new ShortcutPill(code, codes.size() >= 2);
        connect(pill, &ShortcutPill::removeRequested, this, [this, action = row.action](int keyCode) {
            // Deferred: the pill that asked is deleted by the rebuild.
            QMetaObject::invokeMethod(
                this,
                [this, action, keyCode] { removeKey(action, keyCode); },
                Qt::QueuedConnection);
        });
        row.keys->addWidget(pill);
    }
    row.keys->addWidget(row.add);
}

void HotkeysCard::showDuplicateWarning(const QString& text)
{
    m_duplicateWarning->setText(QStringLiteral("⚠ ") + text);
    m_duplicateWarning->show();
}

void HotkeysCard::hideDuplicateWarning()
{
    m_duplicateWarning->hide();
    m_duplicateWarning->clear();
}

void HotkeysCard::removeKey(HotkeyAction action, int keyCode)
{
    if (m_hotkeys.removeKey(m_bindings, action, keyCode).changed()) {
        rebuildPills(m_hotkeyRows[indexOf(action)]);
    }
}

void HotkeysCard::startCapture(HotkeyAction action)
{
    hideDuplicateWarning();
    m_capturingFor = action;
    if (m_captureOverlay) {
        return; // already open: the key it reports goes to the row pressed last
    }
    // Over the whole window: the sidebar must not stay clickable behind it.
    auto* overlay = new KeyCaptureOverlay(window());
    m_captureOverlay = overlay;
    connect(overlay, &KeyCaptureOverlay::captured, this, &HotkeysCard::finishCapture);
    connect(overlay, &KeyCaptureOverlay::cancelled, this, &HotkeysCard::cancelCapture);
    overlay->show();
}

void HotkeysCard::finishCapture(int keyCode, const QString& keyName)
{
    const std::optional<HotkeyAction> action = std::exchange(m_capturingFor, std::nullopt);
    if (m_captureOverlay) {
        m_captureOverlay->hide();
        m_captureOverlay->deleteLater(); // it may still be inside its own key handler
    }
    if (!action) {
        return;
    }
    const KeyEditResult result = m_hotkeys.addKey(m_bindings, *action, keyCode, keyName.toStdString());
    switch (result.outcome) {
    case KeyEditResult::Outcome::conflict:
        showDuplicateWarning(qs(result.message));
        break;
    case KeyEditResult::Outcome::added:
        hideDuplicateWarning();
        rebuildPills(m_hotkeyRows[indexOf(*action)]);
        break;
    case KeyEditResult::Outcome::unchanged:
    case KeyEditResult::Outcome::removed:
        break;
    }
}

void HotkeysCard::cancelCapture()
{
    m_capturingFor.reset();
    if (m_captureOverlay) {
        m_captureOverlay->hide();
        m_captureOverlay->deleteLater(); // it may still be inside its own key handler
    }
}

} // namespace quillo
