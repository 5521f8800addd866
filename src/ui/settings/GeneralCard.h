#pragma once

#include "ui/widgets/CardFrame.h"

namespace quillo {

class LoginItem;
class Preferences;
class ToggleSwitch;

// Launch at login.
class GeneralCard final : public CardFrame
{
    Q_OBJECT

public:
    GeneralCard(Preferences& preferences, LoginItem& loginItem, QWidget* parent = nullptr);

    void reload();
    ToggleSwitch* launchAtLoginSwitch() const { return m_launchAtLogin; }

private:
    Preferences& m_preferences;
    LoginItem& m_loginItem;
    ToggleSwitch* m_launchAtLogin;
};

} // namespace quillo
