#pragma once

#include "ui/widgets/CardFrame.h"

class QPlainTextEdit;

namespace quillo {

class Preferences;

// The user's extra guidance for the clean-up step, stored on every edit.
class InstructionsCard final : public CardFrame
{
    Q_OBJECT

public:
    explicit InstructionsCard(Preferences& preferences, QWidget* parent = nullptr);

    void reload();
    QPlainTextEdit* editor() const { return m_editor; }

private:
    Preferences& m_preferences;
    QPlainTextEdit* m_editor;
};

} // namespace quillo
