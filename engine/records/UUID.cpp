#include "engine/records/UUID.h"

#include <random>

namespace rowlark::records {
namespace {

// Seeded once per thread from the system's entropy source; each UUID takes 128 fresh bits.
std::mt19937_64& generator()
{
    thread_local std::mt19937_64 engine = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }();
    return engine;
}

}  // namespace

UUID UUID::random()
{
    std::uint64_t high = generator()();
    std::uint64_t low = generator()();
    high = (high & ~0xF000ULL) | 0x4000ULL;                        // version 4
    low = (low & ~0xC000000000000000ULL) | 0x8000000000000000ULL;  // RFC 4122 variant
    return UUID(high, low);
}

std::string UUID::toString() const
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(36);
    const auto appendHex = [&](std::uint64_t word, int fromNibble, int toNibble) {
        for (int nibble = fromNibble; nibble < toNibble; ++nibble)
            text.push_back(digits[(word >> (60 - 4 * nibble)) & 0xF]);
    };
    appendHex(high_, 0, 8);
    text.push_back('-');
    appendHex(high_, 8, 12);
    text.push_back('-');
    appendHex(high_, 12, 16);
    text.push_back('-');
    appendHex(low_, 0, 4);
    text.push_back('-');
    appendHex(low_, 4, 16);
    return text;
}

}  // namespace rowlark::records
