#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/Snippet.h"

namespace quillo::snippets {

// The two ways a snippet applies to a dictation, kept together so they agree
// on what a trigger matches.

// A dictation that is, as a whole, one trigger (ignoring case with the root
// locale, so the user's language never changes which snippet matches, and
// white space around it) becomes that snippet's expansion. The first such
// snippet wins.
std::optional<std::string> expandWhole(const std::vector<Snippet>& snippets, const std::string& text);

// Triggers inside the text: longest trigger first (stable among equal
// lengths); each matches case-insensitively and literally where no letter or
// digit touches it, and is replaced by the expansion exactly as stored. Empty
// triggers are skipped: they would match at every word boundary.
std::string applyInline(const std::vector<Snippet>& snippets, const std::string& text);

} // namespace quillo::snippets
