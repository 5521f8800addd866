#include "ui/shell/QtAlert.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

namespace quillo {

std::optional<std::size_t> QtAlert::runModal(const Content& content)
{
    if (!QGuiApplication::instance() || content.buttons.empty()) {
        return std::nullopt;
    }
    QMessageBox box;
    switch (content.style) {
    case Style::informational:
        box.setIcon(QMessageBox::Information);
        break;
    case Style::warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Style::critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    box.setWindowTitle(QString::fromStdString(content.title));
    box.setText(QString::fromStdString(content.title));
    box.setInformativeText(QString::fromStdString(content.text));
    std::vector<QPushButton*> buttons;
    for (const auto& title : content.buttons) {
        buttons.push_back(box.addButton(QString::fromStdString(title), QMessageBox::AcceptRole));
    }
    box.setDefaultButton(buttons.front());
    box.exec();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (box.clickedButton() == buttons[i]) {
            return i;
        }
    }
    return std::nullopt;
}

} // namespace quillo
