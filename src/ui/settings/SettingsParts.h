#pragma once

#include <string>
#include <vector>

#include <QColor>
#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace quillo {

class CardFrame;
class PillButton;
class Preferences;

// The building blocks the settings cards share, so every card looks alike.
namespace settings {

QString qs(const std::string& text);

// Orange reads on both a white and a dark card.
QColor warningOrange();

// A hairline between the rows of a card, in the card border's colour.
class Divider final : public QWidget
{
public:
    Divider();

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A section title: upper-case, small, spaced out, faint.
QWidget* sectionHeader(const QString& title);
// The note under a card.
QLabel* caption(const QString& text);
QLabel* rowTitle(const QString& text);
QLabel* rowDescription(const QString& text);
// The padded column inside a card.
QVBoxLayout* cardLayout(CardFrame* frame);
QComboBox* picker();
// A flat button in the accent colour, with an optional symbol before its text.
PillButton* accentButton(const QString& text, std::vector<const char*> symbol = {});

} // namespace settings
} // namespace quillo
