#pragma once

// Random (version 4) UUIDs, cheap enough to give every one of millions of differences its own.

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace rowlark::records {

class UUID {
public:
    // The nil UUID; every random one differs from it.
    UUID() = default;
    static UUID random();

    // Lower-case 8-4-4-4-12 hexadecimal form.
    std::string toString() const;
    bool isNil() const { return high_ == 0 && low_ == 0; }

    auto operator<=>(const UUID&) const = default;
    std::size_t hash() const { return static_cast<std::size_t>(high_ ^ (low_ * 0x9E3779B97F4A7C15ULL)); }

private:
    UUID(std::uint64_t high, std::uint64_t low)
        : high_(high)
        , low_(low)
    {
    }
    std::uint64_t high_ = 0;
    std::uint64_t low_ = 0;
};

}  // namespace rowlark::records

template<> struct std::hash<rowlark::records::UUID> {
    std::size_t operator()(const rowlark::records::UUID& uuid) const noexcept { return uuid.hash(); }
};
