#pragma once

// Codes of cells, in the order they come, each in as few bytes as the largest code so far needs:
// one, two or four. All codes widen together when a code outgrows their width, which happens at
// most twice.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/table/Prefetch.h"

namespace rowlark::table {

class CellCodes {
public:
    // Room for `count` codes of one byte. Pages that are never written cost no memory.
    void reserve(std::size_t count) { bytes_.reserve(count); }

    void push_back(std::uint32_t code)
    {
        if (codeBytes_ < sizeof code && code >> (8 * codeBytes_) != 0)
            widen(code);
        if (codeBytes_ == 1) {
            bytes_.push_back(static_cast<std::uint8_t>(code));
            return;
        }
        const std::size_t end = bytes_.size();
        bytes_.resize(end + codeBytes_);
        if (codeBytes_ == 2) {
            const auto narrow = static_cast<std::uint16_t>(code);
            std::memcpy(&bytes_[end], &narrow, sizeof narrow);
        } else {
            std::memcpy(&bytes_[end], &code, sizeof code);
        }
    }

    std::uint32_t operator[](std::size_t index) const
    {
        if (codeBytes_ == 1)
            return bytes_[index];
        if (codeBytes_ == 2) {
            std::uint16_t code;
            std::memcpy(&code, &bytes_[index * 2], sizeof code);
            return code;
        }
        std::uint32_t code;
        std::memcpy(&code, &bytes_[index * 4], sizeof code);
        return code;
    }
    std::size_t size() const { return bytes_.size() / codeBytes_; }
    // Reserved room that was never written costs no memory.
    std::size_t memoryUsage() const { return bytes_.size(); }
    // Asks for the cache line that holds code `index`, ahead of reading it.
    void prefetch(std::size_t index) const { table::prefetch(bytes_.data() + index * codeBytes_); }

private:
    // Rewrites every code in the width that `code` needs, keeping the reserved room in codes.
    void widen(std::uint32_t code);

    std::vector<std::uint8_t> bytes_;
    std::size_t codeBytes_ = 1;
};

}  // namespace rowlark::table
