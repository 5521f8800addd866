#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillo {

// One representation of a clipboard item: a type name as the platform spells
// it (a MIME type or a target name on X11) and its bytes, unchanged.
struct ClipboardRepresentation
{
    std::string type;
    std::string data;

    bool operator==(const ClipboardRepresentation&) const = default;
};

// One clipboard item: its representations in the order the item lists them.
using ClipboardItem = std::vector<ClipboardRepresentation>;
// Everything the clipboard holds: its items in order. Empty when the
// clipboard is empty.
using ClipboardContents = std::vector<ClipboardItem>;

// The system clipboard that copy and paste go through (on X11 the CLIPBOARD
// selection, not the primary selection).
//
// Threading: main thread only. Reads may wait for the program that owns the
// clipboard to answer; the implementation bounds that wait.
// Failure: nothing here throws. What cannot be read is left out of the
// contents; a write that the system refuses leaves the clipboard as it was,
// and `stillHolds` then answers false for it.
class Clipboard
{
public:
    // Names one write this program made, for `stillHolds`.
    using WriteToken = std::uint64_t;

    virtual ~Clipboard() = default;

    // Every item with every representation whose bytes could be read, in
    // order. Items none of whose representations could be read are left out.
    // Bookkeeping types that only describe the clipboard itself (the list of
    // types, timestamps) are not representations and never appear.
    virtual ClipboardContents contents() = 0;

    // Replaces the whole clipboard with `text` (UTF-8, used exactly as given)
    // as plain text, and nothing else a paste target could take for content.
    // The text is marked as private, so clipboard managers leave it out of
    // their history.
    virtual WriteToken setPrivateText(const std::string& text) = 0;

    // Replaces the whole clipboard with `contents`, items and representations
    // in order. Empty contents leave the clipboard empty. A platform whose
    // clipboard holds a single item (X11) writes the representations of all
    // items into one, the first item's bytes winning for a type listed twice.
    virtual WriteToken setContents(const ClipboardContents& contents) = 0;

    // Offers `text` as the primary selection too, which older X11 terminals
    // paste with Shift+Insert. Nothing saves or restores that selection: it
    // changes whenever the user selects text anyway. Platforms without one
    // ignore the call.
    virtual void setPrimaryText(const std::string& text) = 0;

    // True while the clipboard still holds exactly what the write named by
    // `token` put there: neither another program nor a later write of this
    // one has replaced it since.
    virtual bool stillHolds(WriteToken token) = 0;
};

} // namespace quillo
