#pragma once

#include <functional>

#include <QDialog>

class QAbstractButton;
class QLineEdit;
class QPlainTextEdit;

namespace quillo {

class PillButton;

// The small modal form that creates or edits a snippet. It refuses blank
// fields and hands over the values without their surrounding white space.
class SnippetFormSheet final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kWidth = 460;

    using SaveAction = std::function<void(const QString& trigger, const QString& expansion)>;

    SnippetFormSheet(const QString& title,
                     const QString& trigger,
                     const QString& expansion,
                     SaveAction onSave,
                     QWidget* parent = nullptr);

    QString title() const;
    QLineEdit* triggerField() const { return m_trigger; }
    QPlainTextEdit* expansionEditor() const { return m_expansion; }
    QAbstractButton* saveButton() const;
    QAbstractButton* cancelButton() const;

    // Both fields hold more than white space.
    bool canSave() const;

public slots:
    void save();

private:
    SaveAction m_onSave;
    QLineEdit* m_trigger;
    QPlainTextEdit* m_expansion;
    PillButton* m_save;
    PillButton* m_cancel;
};

} // namespace quillo
