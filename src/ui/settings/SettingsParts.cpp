#include "ui/settings/SettingsParts.h"

#include <utility>

#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "platform/Preferences.h"
#include "ui/widgets/CardFrame.h"
#include "ui/widgets/PickerBox.h"
#include "ui/widgets/PillButton.h"
#include "ui/widgets/QuilloTheme.h"

namespace quillo::settings {

namespace {

constexpr int kCardPaddingH = 22;
constexpr int kCardPaddingV = 18;
constexpr int kSectionHeaderSize = 13;

} // namespace

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

QColor warningOrange()
{
    return QColor(230, 126, 18);
}

Divider::Divider()
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Divider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), theme::cardBorder(palette()));
}

QWidget* sectionHeader(const QString& title)
{
    QFont font = theme::font(kSectionHeaderSize, QFont::DemiBold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    auto* label = new ThemedLabel(title.toUpper(), ThemedLabel::Role::tertiary, font);
    label->setContentsMargins(4, 0, 0, 0);
    return label;
}

QLabel* caption(const QString& text)
{
    auto* label = new ThemedLabel(text, ThemedLabel::Role::secondary, theme::font(theme::captionSize));
    label->setWordWrap(true);
    label->setContentsMargins(4, 0, 4, 0);
    return label;
}

QLabel* rowTitle(const QString& text)
{
    return new ThemedLabel(text, ThemedLabel::Role::primary, theme::font(theme::bodySize, QFont::Medium));
}

QLabel* rowDescription(const QString& text)
{
    auto* label = new ThemedLabel(text, ThemedLabel::Role::secondary, theme::font(theme::captionSize));
    label->setWordWrap(true);
    return label;
}

QVBoxLayout* cardLayout(CardFrame* frame)
{
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(kCardPaddingH, kCardPaddingV, kCardPaddingH, kCardPaddingV + 2);
    layout->setSpacing(14);
    return layout;
}

QComboBox* picker()
{
    auto* combo = new PickerBox;
    combo->setFont(theme::font(theme::captionSize));
    combo->setMinimumWidth(260);
    return combo;
}

PillButton* accentButton(const QString& text, std::vector<const char*> symbol)
{
    auto* button = new PillButton(text, PillButton::Kind::accent, std::move(symbol));
    button->setFont(theme::font(theme::captionSize, QFont::Medium));
    button->setPadding(5, 8);
    return button;
}

} // namespace quillo::settings
