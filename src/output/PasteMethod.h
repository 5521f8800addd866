#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillo {

class Preferences;

// How a dictation gets into an application.
enum class PasteMethod
{
    ctrlV,
    ctrlShiftV,
    shiftInsert,
    typeText // key by key, for applications that refuse pastes
};

// Every method, in the order a picker lists them.
const std::vector<PasteMethod>& allPasteMethods();

// "ctrl-v", "ctrl-shift-v", "shift-insert", "type": the stored form.
std::string_view rawValue(PasteMethod method);
std::optional<PasteMethod> pasteMethodFromRaw(std::string_view raw);

// "Ctrl+V", "Ctrl+Shift+V", "Shift+Insert", "Type the text".
std::string_view displayName(PasteMethod method);

// True for terminal emulators, known by their application id (the X11 window
// class), in any case: the well-known terminals, and any class that calls
// itself a terminal (the integrated terminals of some editors do).
bool isTerminalApplication(std::string_view applicationID);

// The method that works in an application unless the user chose another:
// Ctrl+Shift+V in terminals, Shift+Insert in the X11 terminals that paste
// nothing else, Ctrl+V everywhere else.
PasteMethod defaultPasteMethod(std::string_view applicationID);

// The user's choices per application, kept in the preferences as one object
// from application id to stored method.
class PasteMethodTable
{
public:
    // The chosen methods; entries the program cannot read are left out.
    static std::map<std::string, PasteMethod> overrides(const Preferences& preferences);

    // Stores `method` for the application; no method removes its entry.
    static void
    setOverride(Preferences& preferences, const std::string& applicationID, std::optional<PasteMethod> method);

    // The user's choice for the application, else its default. An unknown
    // application gets Ctrl+V.
    static PasteMethod methodFor(const Preferences& preferences, const std::optional<std::string>& applicationID);
};

} // namespace quillo
