#include "ui/settings/KeyCaptureOverlay.h"

#include <QVBoxLayout>

#include "ui/settings/KeyCaptureHelperView.h"
#include "ui/widgets/CardFrame.h"
#include "ui/widgets/QuilloTheme.h"

namespace quillo {

KeyCaptureOverlay::KeyCaptureOverlay(QWidget* host) : ModalBackdrop(host, 14, CardFill::window)
{
    setObjectName(QStringLiteral("keyCaptureOverlay"));

    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(28, 28, 28, 28);
    layout->setSpacing(12);
    auto* title = new ThemedLabel(QStringLiteral("Press the key you want to use"),
                                  ThemedLabel::Role::primary,
                                  theme::font(theme::bodySize, QFont::DemiBold));
    title->setAlignment(Qt::AlignHCenter);
    layout->addWidget(title);
    auto* help = new ThemedLabel(QStringLiteral("Modifier keys: Right Alt, Right Ctrl, Super, Shift.\n"
                                                "Function keys: F5\u2013F12.\n"
                                                "Press Escape to cancel."),
                                 ThemedLabel::Role::secondary,
                                 theme::font(theme::captionSize));
    help->setAlignment(Qt::AlignHCenter);
    layout->addWidget(help);
    m_helper = new KeyCaptureHelperView;
    layout->addWidget(m_helper, 0, Qt::AlignHCenter);
    setCard(content);

    connect(m_helper, &KeyCaptureHelperView::captured, this, &KeyCaptureOverlay::captured);
    connect(m_helper, &KeyCaptureHelperView::cancelled, this, &KeyCaptureOverlay::cancelled);

    show();
    m_helper->setFocus(Qt::OtherFocusReason);
}

} // namespace quillo
