#pragma once

#include <vector>

#include "ui/main/CardFrame.h"

namespace quillo {

// Home's counter card: the icon above the value over its label.
class StatCard final : public CardFrame
{
    Q_OBJECT

public:
    StatCard(const std::vector<const char*>& icon, const QString& label, QWidget* parent = nullptr);
    void setValue(const QString& value);
    QString value() const;

private:
    ThemedLabel* m_value;
};

// Insights' summary card: the icon beside the value over its label.
class InsightCard final : public CardFrame
{
    Q_OBJECT

public:
    InsightCard(const std::vector<const char*>& icon, QWidget* parent = nullptr);
    void setContent(const QString& value, const QString& label);
    QString value() const;
    QString label() const;

private:
    ThemedLabel* m_value;
    ThemedLabel* m_label;
};

} // namespace quillo
