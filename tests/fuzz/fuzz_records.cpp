// history.json and snippets.json as a user's disk may hold them: whatever the
// bytes, decoding either rejects them or gives records that survive a save and
// a load unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "store/RecordJson.h"

namespace {

template <typename Decode, typename Encode> void roundTrip(std::string_view text, Decode decode, Encode encode)
{
    const auto first = decode(text);
    if (!first.ok) {
        return;
    }
    const auto saved = encode(first.records);
    const auto second = decode(saved);
    if (!second.ok || second.records != first.records || encode(second.records) != saved) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    roundTrip(text, quillo::decodeHistory, [](const auto& r) { return quillo::encodeHistory(r); });
    roundTrip(text, quillo::decodeSnippets, [](const auto& r) { return quillo::encodeSnippets(r); });
    return 0;
}
