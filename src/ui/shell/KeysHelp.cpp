#include "ui/shell/KeysHelp.h"

#include <QMessageBox>

namespace quillo {

namespace {

const char* const kHelp = R"MD(Quillo listens for its hotkeys in every application and types the dictated text with a
synthetic Ctrl+V. On Linux that needs an **X11 session** whose X server offers the XInput 2 and XTest extensions
(every stock Xorg server does). Quillo only listens: other applications still receive every key.

If Quillo cannot see your keys:

1. Check that you are in an X11 session: `echo $XDG_SESSION_TYPE` should print `x11`. In a Wayland session (the
   default on recent GNOME and KDE) Quillo sees its keys and pastes only while an X11 application has the focus. At
   the login screen, choose the session called "GNOME on Xorg", "Plasma (X11)" or similar, and log in again.
2. Check that `DISPLAY` is set in the environment Quillo starts from (`echo $DISPLAY` prints something like `:0`).
3. Check the extensions: `xdpyinfo | grep -E 'XInputExtension|XTEST'` should list both.
4. Quit Quillo and start it again.

If Quillo cannot record, start the audio server: `systemctl --user start pipewire pipewire-pulse` (PipeWire) or
`systemctl --user start pulseaudio`.

The hold key is Right Alt, the hands-free toggle is Right Ctrl, and F5 pastes your last dictation again; all three
can be changed in Settings.)MD";

} // namespace

void showKeysHelp(QWidget* parent)
{
    QMessageBox box(QMessageBox::Information,
                    QStringLiteral("Letting Quillo see your hotkeys"),
                    QString(),
                    QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::MarkdownText);
    box.setText(QString::fromUtf8(kHelp));
    box.exec();
}

} // namespace quillo
