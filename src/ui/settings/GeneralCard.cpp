#include "ui/settings/GeneralCard.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "platform/LoginItem.h"
#include "platform/Preferences.h"
#include "settings/Settings.h"
#include "ui/settings/SettingsParts.h"
#include "ui/widgets/ToggleSwitch.h"

namespace quillo {

GeneralCard::GeneralCard(Preferences& preferences, LoginItem& loginItem, QWidget* parent)
    : CardFrame(12, 3, parent), m_preferences(preferences), m_loginItem(loginItem), m_launchAtLogin(new ToggleSwitch)
{
    QVBoxLayout* layout = settings::cardLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(settings::rowTitle(QStringLiteral("Launch at Login")));
    row->addStretch(1);
    m_launchAtLogin->setObjectName(QStringLiteral("launchAtLogin"));
    m_launchAtLogin->setAccessibleName(QStringLiteral("Launch at Login"));
    connect(m_launchAtLogin, &ToggleSwitch::clicked, this, [this](bool on) {
        EditableSettings(m_preferences).set(setting::launchAtLogin, on);
        // A failure is deliberately not reported: the switch keeps the user's
        // choice, and the next change of it tries again.
        m_loginItem.setRegistered(on);
    });
    row->addWidget(m_launchAtLogin);
    layout->addLayout(row);
}

void GeneralCard::reload()
{
    m_launchAtLogin->setChecked(Settings(m_preferences).get(setting::launchAtLogin));
}

} // namespace quillo
