// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#pragma once

// The test the converters' fast paths share: are these sixteen bytes, or four
// UTF-16 code units, all ASCII? Most text is long runs of it.

#include <cstdint>
#include <cstring>

namespace TextJoin {

inline bool areAsciiBytes16(const unsigned char *bytes)
{
    std::uint64_t first;
    std::uint64_t second;
    std::memcpy(&first, bytes, 8);
    std::memcpy(&second, bytes + 8, 8);
    return ((first | second) & 0x8080808080808080ull) == 0;
}

inline bool areAsciiUnits4(const char16_t *units)
{
    std::uint64_t four;
    std::memcpy(&four, units, 8);
    return (four & 0xFF80FF80FF80FF80ull) == 0;
}

} // namespace TextJoin
