#pragma once

#include <vector>

#include <QLabel>
#include <QWidget>

namespace quillo {

// A widget drawn as a rounded card (fill, hairline outline, soft shadow);
// its layout's margins are the card's padding.
class CardFrame : public QWidget
{
    Q_OBJECT

public:
    explicit CardFrame(qreal radius, qreal shadowRadius = 3, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal m_radius;
    qreal m_shadowRadius;
};

// A label whose colour is a theme role of the palette, re-read whenever the
// palette changes so a switch between light and dark follows at once.
class ThemedLabel final : public QLabel
{
    Q_OBJECT

public:
    enum class Role
    {
        primary,
        secondary,
        tertiary
    };
    ThemedLabel(const QString& text, Role role, const QFont& font, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColour();
    Role m_role;
};

// A label showing a tinted icon-theme symbol, re-tinted when the palette changes.
class SymbolLabel final : public QLabel
{
    Q_OBJECT

public:
    enum class Tint
    {
        accent,
        secondary,
        tertiary,
        green
    };
    SymbolLabel(const std::vector<const char*>& names, Tint tint, int size, QWidget* parent = nullptr);
    void setSymbol(const std::vector<const char*>& names, Tint tint);

protected:
    void changeEvent(QEvent* event) override;

private:
    void render();
    std::vector<const char*> m_names;
    Tint m_tint;
    int m_size;
};

} // namespace quillo
