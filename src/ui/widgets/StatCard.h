#pragma once

#include <initializer_list>
#include <vector>

#include "ui/widgets/CardFrame.h"

class QHBoxLayout;

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

// A row of cards sharing the width equally, 16 apart: Home's counters and
// Insights' summaries.
QHBoxLayout* makeCardRow(std::initializer_list<QWidget*> cards);

} // namespace quillo
