#include "store/Uuid.h"

#include <cstdint>
#include <mutex>
#include <random>

namespace quillo::uuid {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool isHyphenPosition(std::size_t i)
{
    return i == 8 || i == 13 || i == 18 || i == 23;
}

} // namespace

std::string makeRandom()
{
    // One generator seeded once from the system's entropy; random_device alone
    // may be slow, and a generator per call would be seeded far too often.
    static std::mutex mutex; // guards engine
    static std::mt19937_64 engine{[] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }()};

    std::uint8_t bytes[16];
    {
        std::lock_guard lock(mutex);
        for (int half = 0; half < 2; ++half) {
            std::uint64_t bits = engine();
            for (int i = 0; i < 8; ++i) {
                bytes[half * 8 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
            }
        }
    }
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant

    std::string text;
    text.reserve(36);
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text.push_back('-');
        }
        text.push_back(kHexDigits[bytes[i] >> 4]);
        text.push_back(kHexDigits[bytes[i] & 0x0F]);
    }
    return text;
}

std::optional<std::string> canonical(std::string_view text)
{
    if (text.size() != 36) {
        return std::nullopt;
    }
    std::string result(text);
    for (std::size_t i = 0; i < result.size(); ++i) {
        char& c = result[i];
        if (isHyphenPosition(i)) {
            if (c != '-') {
                return std::nullopt;
            }
        } else if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            return std::nullopt;
        }
    }
    return result;
}

} // namespace quillo::uuid
