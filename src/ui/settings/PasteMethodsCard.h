#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QWidget>

#include "output/Paster.h"

class QLabel;
class QVBoxLayout;

namespace quillo {

class PillButton;
class Preferences;

// "Paste method by application": the applications the user chose a paste
// method for, each with a picker and a remove button, and a button that adds
// the application of the last dictation with the method it gets today. When
// that dictation did not arrive, a hint says so above the list.
class PasteMethodsCard final : public QWidget
{
    Q_OBJECT

public:
    // The session's last paste, if any.
    using LastPaste = std::function<std::optional<PasteReport>()>;

    PasteMethodsCard(Preferences& preferences, LastPaste lastPaste, QWidget* parent = nullptr);

    // Reads the stored choices and the last paste again.
    void reload();

    QLabel* hint() const { return m_hint; }
    PillButton* addLastApplicationButton() const { return m_addLast; }

private:
    void addRow(const std::string& applicationID, PasteMethod method);

    Preferences& m_preferences;
    LastPaste m_lastPaste;
    QLabel* m_hint;
    QVBoxLayout* m_rows;
    QLabel* m_empty;
    PillButton* m_addLast;
    std::optional<std::string> m_lastApplication;
};

} // namespace quillo
