#pragma once

#include <array>
#include <optional>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "base/HotkeyAction.h"
#include "hotkeys/HotkeyBindings.h"
#include "hotkeys/HotkeyStore.h"
#include "ui/widgets/CardFrame.h"

class QLabel;
class QAbstractButton;
class QToolButton;

namespace quillo {

class FlowLayout;
class Preferences;

// One bound key of a hotkey row: its name on a keycap, and a remove button
// when the action has another key to fall back on.
class ShortcutPill final : public QWidget
{
    Q_OBJECT

public:
    ShortcutPill(int keyCode, bool canRemove, QWidget* parent = nullptr);

    int keyCode() const { return m_keyCode; }
    QString keyName() const;
    // Null when the key is the action's only one.
    QToolButton* removeButton() const { return m_remove; }

signals:
    void removeRequested(int keyCode);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_keyCode;
    QLabel* m_name;
    QToolButton* m_remove = nullptr;
};

// The keys of the three hotkey actions, each row with its pills and an add
// button that opens the key capture overlay over the whole window. The bindings
// are a working copy, reloaded by `reload` and written back on every edit.
class HotkeysCard final : public CardFrame
{
    Q_OBJECT

public:
    explicit HotkeysCard(Preferences& preferences, QWidget* parent = nullptr);

    void reload();

    std::vector<ShortcutPill*> pills(HotkeyAction action) const;
    QAbstractButton* addShortcutButton(HotkeyAction action) const;
    QLabel* duplicateWarning() const { return m_duplicateWarning; }
    // The action the key capture overlay is open for.
    std::optional<HotkeyAction> capturingFor() const { return m_capturingFor; }
    QWidget* captureOverlay() const { return m_captureOverlay; }

private:
    struct HotkeyRow
    {
        HotkeyAction action;
        FlowLayout* keys = nullptr; // the pills, then the add button, wrapping when narrow
        QAbstractButton* add = nullptr;
    };

    void rebuildPills(HotkeyRow& row);
    void showDuplicateWarning(const QString& text);
    void hideDuplicateWarning();
    void removeKey(HotkeyAction action, int keyCode);
    void startCapture(HotkeyAction action);
    void finishCapture(int keyCode, const QString& keyName);
    void cancelCapture();

    HotkeyStore m_hotkeys;
    HotkeyBindings m_bindings;
    std::optional<HotkeyAction> m_capturingFor;
    QPointer<QWidget> m_captureOverlay;
    std::array<HotkeyRow, 3> m_hotkeyRows;
    QLabel* m_duplicateWarning = nullptr;
};

} // namespace quillo
