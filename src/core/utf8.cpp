#include "utf8.h"

#include <cstdint>
#include <cstring>

namespace TextJoin {

namespace {

constexpr std::uint64_t highBits = 0x8080808080808080ull;

inline bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

} // namespace

Utf8Scan scanUtf8(const unsigned char *data, std::size_t size)
{
    std::size_t i = 0;
    while (i < size) {
        // Most text is long runs of ASCII: test sixteen bytes at a time.
        while (i + 16 <= size) {
            std::uint64_t first;
            std::uint64_t second;
            std::memcpy(&first, data + i, 8);
            std::memcpy(&second, data + i + 8, 8);
            if ((first | second) & highBits)
                break;
            i += 16;
        }
        if (i >= size)
            break;

        const unsigned char lead = data[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        unsigned char secondMin = 0x80;
        unsigned char secondMax = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                secondMin = 0xA0; // overlong
            else if (lead == 0xED)
                secondMax = 0x9F; // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                secondMin = 0x90; // overlong
            else if (lead == 0xF4)
                secondMax = 0x8F; // above U+10FFFF
        } else {
            return {i, false};
        }

        const std::size_t available = size - i;
        if (available >= 2 && (data[i + 1] < secondMin || data[i + 1] > secondMax))
            return {i, false};
        for (std::size_t k = 2; k < length && k < available; ++k) {
            if (!isContinuation(data[i + k]))
                return {i, false};
        }
        if (available < length)
            return {i, true};
        i += length;
    }
    return {size, true};
}

} // namespace TextJoin
