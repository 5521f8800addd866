#include "output/PasteMethod.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <iterator>
#include <nlohmann/json.hpp>

#include "platform/Preferences.h"
#include "settings/Settings.h"

namespace quillo {

namespace {

struct MethodNames
{
    PasteMethod method;
    std::string_view raw;
    std::string_view display;
};

constexpr std::array<MethodNames, 4> kMethods = {{
    {PasteMethod::ctrlV, "ctrl-v", "Ctrl+V"},
    {PasteMethod::ctrlShiftV, "ctrl-shift-v", "Ctrl+Shift+V"},
    {PasteMethod::shiftInsert, "shift-insert", "Shift+Insert"},
    {PasteMethod::typeText, "type", "Type the text"},
}};

// Window classes (lower case) of terminal emulators. Where an application is
// known by a reverse-DNS id on some desktops, both spellings are listed.
constexpr std::string_view kTerminals[] = {
    "xterm",
    "uxterm",
    "urxvt",
    "rxvt",
    "urxvt-unicode",
    "st",
    "st-256color",
    "gnome-terminal",
    "gnome-terminal-server",
    "org.gnome.terminal",
    "kgx",
    "org.gnome.console",
    "ptyxis",
    "org.gnome.ptyxis",
    "konsole",
    "org.kde.konsole",
    "yakuake",
    "org.kde.yakuake",
    "xfce4-terminal",
    "lxterminal",
    "terminator",
    "tilix",
    "com.gexperts.tilix",
    "guake",
    "alacritty",
    "org.alacritty.alacritty",
    "kitty",
    "wezterm",
    "org.wezfurlong.wezterm",
    "wezterm-gui",
    "foot",
    "footclient",
    "ghostty",
    "com.mitchellh.ghostty",
    "warp",
    "dev.warp.warp",
    "warp-terminal",
    "tabby",
    "hyper",
    "terminology",
    "qterminal",
    "cool-retro-term",
    "deepin-terminal",
    "com.deepin.terminal",
    "mate-terminal",
    "sakura",
    "terminix",
    "eterm",
    "aterm",
    "mlterm",
    "lxqt-terminal",
    "blackbox",
};

// Terminals whose Shift+Insert pastes the primary selection and which have no
// clipboard shortcut of their own by default.
constexpr std::string_view kPrimaryOnlyTerminals[] = {"xterm", "uxterm", "urxvt", "rxvt", "urxvt-unicode"};

std::string lowered(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

bool contains(const auto& list, std::string_view value)
{
    return std::find(std::begin(list), std::end(list), value) != std::end(list);
}

} // namespace

const std::vector<PasteMethod>& allPasteMethods()
{
    static const std::vector<PasteMethod> methods = {PasteMethod::ctrlV,
                                                     PasteMethod::ctrlShiftV,
                                                     PasteMethod::shiftInsert,
                                                     PasteMethod::typeText};
    return methods;
}

std::string_view rawValue(PasteMethod method)
{
    for (const MethodNames& names : kMethods) {
        if (names.method == method) {
            return names.raw;
        }
    }
    return "ctrl-v";
}

std::optional<PasteMethod> pasteMethodFromRaw(std::string_view raw)
{
    for (const MethodNames& names : kMethods) {
        if (names.raw == raw) {
            return names.method;
        }
    }
    return std::nullopt;
}

std::string_view displayName(PasteMethod method)
{
    for (const MethodNames& names : kMethods) {
        if (names.method == method) {
            return names.display;
        }
    }
    return "Ctrl+V";
}

bool isTerminalApplication(std::string_view applicationID)
{
    const std::string id = lowered(applicationID);
    if (id.empty()) {
        return false;
    }
    return contains(kTerminals, id) || id.find("terminal") != std::string::npos;
}

PasteMethod defaultPasteMethod(std::string_view applicationID)
{
    const std::string id = lowered(applicationID);
    if (contains(kPrimaryOnlyTerminals, id)) {
        return PasteMethod::shiftInsert;
    }
    return isTerminalApplication(id) ? PasteMethod::ctrlShiftV : PasteMethod::ctrlV;
}

std::map<std::string, PasteMethod> PasteMethodTable::overrides(const Preferences& preferences)
{
    std::map<std::string, PasteMethod> table;
    const auto stored = Settings(preferences).get(setting::pasteMethods);
    if (!stored || !stored->is_object()) {
        return table;
    }
    for (const auto& [application, raw] : stored->items()) {
        if (!raw.is_string()) {
            continue;
        }
        if (const auto method = pasteMethodFromRaw(raw.get<std::string>())) {
            table.emplace(application, *method);
        }
    }
    return table;
}

void PasteMethodTable::setOverride(Preferences& preferences,
                                   const std::string& applicationID,
                                   std::optional<PasteMethod> method)
{
    auto stored = Settings(preferences).get(setting::pasteMethods).value_or(Preferences::Value::object());
    if (!stored.is_object()) {
        stored = Preferences::Value::object();
    }
    if (method) {
        stored[applicationID] = std::string(rawValue(*method));
    } else {
        stored.erase(applicationID);
    }
    EditableSettings(preferences).set(setting::pasteMethods, stored);
}

PasteMethod PasteMethodTable::methodFor(const Preferences& preferences, const std::optional<std::string>& applicationID)
{
    if (!applicationID) {
        return PasteMethod::ctrlV;
    }
    const auto table = overrides(preferences);
    if (const auto chosen = table.find(*applicationID); chosen != table.end()) {
        return chosen->second;
    }
    return defaultPasteMethod(*applicationID);
}

} // namespace quillo
