#include "ui/settings/KeyNames.h"

#include <utility>

#include "hotkeys/HotkeyStore.h"

namespace quillo {

namespace {

std::function<bool()>& rightAltIsAltGrProbe()
{
    static std::function<bool()> probe;
    return probe;
}

} // namespace

QString displayKeyName(int keyCode)
{
    const auto& probe = rightAltIsAltGrProbe();
    return QString::fromStdString(HotkeyStore::keyName(keyCode, probe && probe()));
}

void setRightAltIsAltGrProbe(std::function<bool()> probe)
{
    rightAltIsAltGrProbe() = std::move(probe);
}

} // namespace quillo
