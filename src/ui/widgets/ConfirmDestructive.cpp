#include "ui/widgets/ConfirmDestructive.h"

#include <QPushButton>

namespace quillo {

QMessageBox* askToConfirm(QWidget* parent, const DestructiveQuestion& ask, std::function<void()> onConfirm)
{
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(ask.question);
    box->setText(ask.question);
    box->setInformativeText(ask.consequence);
    QPushButton* confirm = box->addButton(ask.confirmLabel, QMessageBox::DestructiveRole);
    confirm->setObjectName(ask.confirmName);
    QPushButton* cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    if (!ask.cancelName.isEmpty()) {
        cancel->setObjectName(ask.cancelName);
    }
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    QObject::connect(box,
                     &QMessageBox::buttonClicked,
                     parent,
                     [confirm, onConfirm = std::move(onConfirm)](QAbstractButton* pressed) {
                         if (pressed == confirm) {
                             onConfirm();
                         }
                     });
    box->open();
    return box;
}

} // namespace quillo
