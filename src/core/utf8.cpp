#include "utf8.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define SHEAFWRIGHT_SSSE3 1
#endif

namespace TextJoin {

namespace {

constexpr std::uint64_t highBits = 0x8080808080808080ull;

inline bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

#ifdef SHEAFWRIGHT_SSSE3

// Length of the data without a final sequence that the data cuts short.
std::size_t withoutUnfinishedEnd(const unsigned char *data, std::size_t size)
{
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const unsigned char byte = data[size - back];
        if (byte < 0x80)
            break;
        if (byte >= 0xC2 && byte <= 0xF4) {
            const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
            return length > back ? size - back : size;
        }
        if (byte >= 0xC0)
            break;
    }
    return size;
}

// Sixteen bytes at a time, after the lookup-table method of Keiser and Lemire
// ("Validating UTF-8 in less than one instruction per byte", 2021): each pair of
// neighbouring bytes is classified by three table look-ups on their nibbles, and
// the tables are built so that the look-ups share a set bit only for an error.
namespace lookup {
constexpr char tooShort = 1 << 0;     // lead or ASCII followed by lead or ASCII, where a continuation belongs
constexpr char tooLong = 1 << 1;      // ASCII followed by a continuation
constexpr char overlong3 = 1 << 2;    // E0 80..9F
constexpr char tooLarge = 1 << 3;     // F4 90..BF, F5..FF
constexpr char surrogate = 1 << 4;    // ED A0..BF
constexpr char overlong2 = 1 << 5;    // C0..C1
constexpr char tooLarge1000 = 1 << 6; // F5..FF 80..8F
constexpr char overlong4 = 1 << 6;    // F0 80..8F
constexpr char twoContinuations = char(1 << 7);
constexpr char carry = tooShort | tooLong | twoContinuations;
} // namespace lookup

__attribute__((target("ssse3"))) inline __m128i errorsInBlock(__m128i input, __m128i previous)
{
    using namespace lookup;
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i firstHigh = _mm_setr_epi8(
        tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, tooLong,
        twoContinuations, twoContinuations, twoContinuations, twoContinuations,
        tooShort | overlong2, tooShort, tooShort | overlong3 | surrogate,
        tooShort | tooLarge | tooLarge1000 | overlong4);
    const __m128i firstLow = _mm_setr_epi8(
        carry | overlong3 | overlong2 | overlong4, carry | overlong2, carry, carry, carry | tooLarge,
        carry | tooLarge | tooLarge1000, carry | tooLarge | tooLarge1000, carry | tooLarge | tooLarge1000,
        carry | tooLarge | tooLarge1000, carry | tooLarge | tooLarge1000, carry | tooLarge | tooLarge1000,
        carry | tooLarge | tooLarge1000, carry | tooLarge | tooLarge1000,
        carry | tooLarge | tooLarge1000 | surrogate, carry | tooLarge | tooLarge1000,
        carry | tooLarge | tooLarge1000);
    const __m128i secondHigh = _mm_setr_epi8(
        tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort,
        tooLong | overlong2 | twoContinuations | overlong3 | tooLarge1000 | overlong4,
        tooLong | overlong2 | twoContinuations | overlong3 | tooLarge,
        tooLong | overlong2 | twoContinuations | surrogate | tooLarge,
        tooLong | overlong2 | twoContinuations | surrogate | tooLarge,
        tooShort, tooShort, tooShort, tooShort);

    const __m128i previous1 = _mm_alignr_epi8(input, previous, 15);
    const __m128i special = _mm_and_si128(
        _mm_and_si128(_mm_shuffle_epi8(firstHigh, _mm_and_si128(_mm_srli_epi16(previous1, 4), nibble)),
                      _mm_shuffle_epi8(firstLow, _mm_and_si128(previous1, nibble))),
        _mm_shuffle_epi8(secondHigh, _mm_and_si128(_mm_srli_epi16(input, 4), nibble)));

    // The third byte of a three- or four-byte sequence and the fourth of a four-byte one must be continuations.
    const __m128i previous2 = _mm_alignr_epi8(input, previous, 14);
    const __m128i previous3 = _mm_alignr_epi8(input, previous, 13);
    const __m128i isThird = _mm_subs_epu8(previous2, _mm_set1_epi8(char(0xE0 - 0x80)));
    const __m128i isFourth = _mm_subs_epu8(previous3, _mm_set1_epi8(char(0xF0 - 0x80)));
    const __m128i mustContinue = _mm_and_si128(_mm_or_si128(isThird, isFourth), _mm_set1_epi8(char(0x80)));
    return _mm_xor_si128(mustContinue, special);
}

// Non-zero where a block's last bytes begin a sequence that runs past its end.
__attribute__((target("ssse3"))) inline __m128i unfinishedAtEnd(__m128i input)
{
    const __m128i limits = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                         char(0xF0 - 1), char(0xE0 - 1), char(0xC0 - 1));
    return _mm_subs_epu8(input, limits);
}

// True when the data is valid UTF-8 that ends with a complete character.
__attribute__((target("ssse3"))) bool isCompleteUtf8Ssse3(const unsigned char *data, std::size_t size)
{
    __m128i previous = _mm_setzero_si128();
    __m128i previousUnfinished = _mm_setzero_si128();
    __m128i errors = _mm_setzero_si128();
    std::size_t i = 0;
    const auto step = [&](__m128i input) {
        if (_mm_movemask_epi8(input) == 0) {
            errors = _mm_or_si128(errors, previousUnfinished);
        } else {
            errors = _mm_or_si128(errors, errorsInBlock(input, previous));
            previousUnfinished = unfinishedAtEnd(input);
        }
        previous = input;
    };
    for (; i + 64 <= size; i += 64) {
        // Four blocks of ASCII are common enough to test together.
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i + 48));
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) == 0) {
            errors = _mm_or_si128(errors, previousUnfinished);
            previousUnfinished = _mm_setzero_si128();
            previous = d;
            continue;
        }
        step(a);
        step(b);
        step(c);
        step(d);
    }
    for (; i + 16 <= size; i += 16)
        step(_mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i)));
    if (i < size) {
        alignas(16) unsigned char last[16] = {};
        std::memcpy(last, data + i, size - i);
        step(_mm_load_si128(reinterpret_cast<const __m128i *>(last)));
    }
    errors = _mm_or_si128(errors, previousUnfinished);
    return _mm_movemask_epi8(_mm_cmpeq_epi8(errors, _mm_setzero_si128())) == 0xFFFF;
}

const bool hasSsse3 = __builtin_cpu_supports("ssse3");

#endif

Utf8Scan scanUtf8Bytewise(const unsigned char *data, std::size_t size)
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

} // namespace

Utf16Conversion utf16ToUtf8(const char16_t *units, std::size_t count, char *out)
{
    constexpr std::uint64_t nonAscii = 0xFF80FF80FF80FF80ull;
    auto *bytes = reinterpret_cast<unsigned char *>(out);
    std::size_t i = 0;
    while (i < count) {
        while (i + 4 <= count) {
            std::uint64_t four;
            std::memcpy(&four, units + i, 8);
            if (four & nonAscii)
                break;
            bytes[0] = static_cast<unsigned char>(units[i]);
            bytes[1] = static_cast<unsigned char>(units[i + 1]);
            bytes[2] = static_cast<unsigned char>(units[i + 2]);
            bytes[3] = static_cast<unsigned char>(units[i + 3]);
            bytes += 4;
            i += 4;
        }
        if (i >= count)
            break;

        const char32_t unit = units[i];
        if (unit < 0x80) {
            *bytes++ = static_cast<unsigned char>(unit);
            ++i;
        } else if (unit < 0x800) {
            bytes[0] = static_cast<unsigned char>(0xC0 | (unit >> 6));
            bytes[1] = static_cast<unsigned char>(0x80 | (unit & 0x3F));
            bytes += 2;
            ++i;
        } else if ((unit & 0xF800) != 0xD800) {
            bytes[0] = static_cast<unsigned char>(0xE0 | (unit >> 12));
            bytes[1] = static_cast<unsigned char>(0x80 | ((unit >> 6) & 0x3F));
            bytes[2] = static_cast<unsigned char>(0x80 | (unit & 0x3F));
            bytes += 3;
            ++i;
        } else {
            if (unit > 0xDBFF)
                return {i, std::size_t(bytes - reinterpret_cast<unsigned char *>(out)), false};
            if (i + 1 == count)
                break;
            const char32_t low = units[i + 1];
            if (low < 0xDC00 || low > 0xDFFF)
                return {i, std::size_t(bytes - reinterpret_cast<unsigned char *>(out)), false};
            const char32_t codePoint = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            bytes[0] = static_cast<unsigned char>(0xF0 | (codePoint >> 18));
            bytes[1] = static_cast<unsigned char>(0x80 | ((codePoint >> 12) & 0x3F));
            bytes[2] = static_cast<unsigned char>(0x80 | ((codePoint >> 6) & 0x3F));
            bytes[3] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
            bytes += 4;
            i += 2;
        }
    }
    return {i, std::size_t(bytes - reinterpret_cast<unsigned char *>(out)), true};
}

Utf8Scan scanUtf8(const unsigned char *data, std::size_t size)
{
#ifdef SHEAFWRIGHT_SSSE3
    // The fast check only answers yes or no; invalid data is rare, and for it the
    // bytewise scan finds where the fault is.
    if (hasSsse3) {
        const std::size_t complete = withoutUnfinishedEnd(data, size);
        if (isCompleteUtf8Ssse3(data, complete))
            return {complete, scanUtf8Bytewise(data + complete, size - complete).valid};
    }
#endif
    return scanUtf8Bytewise(data, size);
}

} // namespace TextJoin
