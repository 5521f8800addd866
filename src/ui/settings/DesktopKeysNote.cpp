#include "ui/settings/DesktopKeysNote.h"

#include <QtGlobal>

#include "ui/widgets/CardFrame.h"
#include "ui/widgets/QuilloTheme.h"

namespace quillo {

bool keysManagedByDesktop()
{
    return qEnvironmentVariableIsSet("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == "wayland";
}

QLabel* desktopKeysNote(bool managedByDesktop)
{
    if (!managedByDesktop) {
        return nullptr;
    }
    auto* label = new ThemedLabel(
        QStringLiteral("Keys are managed by the desktop in a Wayland session: where it offers global shortcuts, "
                       "Quillo's three actions are listed in its keyboard settings, with the keys above suggested. "
                       "Elsewhere the keys above work only while an X11 application has the focus: bind these "
                       "commands to shortcuts in your desktop's keyboard settings instead: quillo toggle "
                       "(hands-free), quillo start on press and quillo stop on release (hold to record), "
                       "quillo paste-last."),
        ThemedLabel::Role::secondary,
        theme::font(theme::captionSize));
    label->setObjectName(QStringLiteral("desktopKeysNote"));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse); // the commands can be copied
    label->setContentsMargins(4, 0, 4, 0);
    return label;
}

} // namespace quillo
