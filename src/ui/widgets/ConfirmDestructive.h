#pragma once

#include <functional>

#include <QMessageBox>
#include <QString>

namespace quillo {

struct DestructiveQuestion
{
    QString question;     // the title and the text: "Clear all history?"
    QString consequence;  // what cannot be undone
    QString confirmLabel; // "Clear All"
    QString confirmName;  // object names, so tests can press the buttons
    QString cancelName;   // may be empty
};

// Opens a window-modal warning whose default and Escape button is Cancel;
// `onConfirm` runs only when the destructive button is pressed. The box
// deletes itself when closed.
QMessageBox* askToConfirm(QWidget* parent, const DestructiveQuestion& ask, std::function<void()> onConfirm);

} // namespace quillo
