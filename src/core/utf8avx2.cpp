// SPDX-FileCopyrightText: 2026 Sheafwright contributors
// SPDX-License-Identifier: MIT

#include "utf8avx2.h"

#ifdef SHEAFWRIGHT_AVX2

#include <array>
#include <cstdint>
#include <cstring>
#include <immintrin.h>

namespace TextJoin {

bool hasAvx2()
{
    // Static initialisers may run before the run-time library has read the processor
    // features, so ask it to read them first.
    static const bool supported = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
    return supported;
}


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

namespace {

// Thirty-two bytes at a time, after the lookup-table method of Keiser and Lemire
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

// The same sixteen-entry table in both lanes, as the byte shuffle looks up within a lane.
#define SHEAFWRIGHT_TABLE(...) _mm256_setr_epi8(__VA_ARGS__, __VA_ARGS__)

__attribute__((target("avx2"))) inline __m256i errorsInBlock(__m256i input, __m256i previous)
{
    using namespace lookup;
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i firstHigh = SHEAFWRIGHT_TABLE(
        tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, tooLong,
        twoContinuations, twoContinuations, twoContinuations, twoContinuations,
        tooShort | overlong2, tooShort, tooShort | overlong3 | surrogate,
        tooShort | tooLarge | tooLarge1000 | overlong4);
    const __m256i firstLow = SHEAFWRIGHT_TABLE(
        carry | overlong3 | overlong2 | overlong4, carry | overlong2, carry, carry, carry | tooLarge,
        carry | tooLarge | tooLarge1000, carry | tooLarge | tooLarge1000, carry | tooLarge | tooLarge1000,
        carry | tooLarge | tooLarge1000, carry | tooLarge | tooLarge1000, carry | tooLarge | tooLarge1000,
        carry | tooLarge | tooLarge1000, carry | tooLarge | tooLarge1000,
        carry | tooLarge | tooLarge1000 | surrogate, carry | tooLarge | tooLarge1000,
        carry | tooLarge | tooLarge1000);
    const __m256i secondHigh = SHEAFWRIGHT_TABLE(
        tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort,
        tooLong | overlong2 | twoContinuations | overlong3 | tooLarge1000 | overlong4,
        tooLong | overlong2 | twoContinuations | overlong3 | tooLarge,
        tooLong | overlong2 | twoContinuations | surrogate | tooLarge,
        tooLong | overlong2 | twoContinuations | surrogate | tooLarge,
        tooShort, tooShort, tooShort, tooShort);

    // The bytes before each byte: the previous block's last ones come across the lane boundary.
    const __m256i shifted = _mm256_permute2x128_si256(previous, input, 0x21);
    const __m256i previous1 = _mm256_alignr_epi8(input, shifted, 15);
    const __m256i previous2 = _mm256_alignr_epi8(input, shifted, 14);
    const __m256i previous3 = _mm256_alignr_epi8(input, shifted, 13);

    const __m256i special = _mm256_and_si256(
        _mm256_and_si256(
            _mm256_shuffle_epi8(firstHigh, _mm256_and_si256(_mm256_srli_epi16(previous1, 4), nibble)),
            _mm256_shuffle_epi8(firstLow, _mm256_and_si256(previous1, nibble))),
        _mm256_shuffle_epi8(secondHigh, _mm256_and_si256(_mm256_srli_epi16(input, 4), nibble)));

    // The third byte of a three- or four-byte sequence and the fourth of a four-byte one must be continuations.
    const __m256i isThird = _mm256_subs_epu8(previous2, _mm256_set1_epi8(char(0xE0 - 0x80)));
    const __m256i isFourth = _mm256_subs_epu8(previous3, _mm256_set1_epi8(char(0xF0 - 0x80)));
    const __m256i mustContinue =
        _mm256_and_si256(_mm256_or_si256(isThird, isFourth), _mm256_set1_epi8(char(0x80)));
    return _mm256_xor_si256(mustContinue, special);
}

#undef SHEAFWRIGHT_TABLE

// Non-zero where a block's last bytes begin a sequence that runs past its end.
__attribute__((target("avx2"))) inline __m256i unfinishedAtEnd(__m256i input)
{
    const __m256i limits = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                            -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                            char(0xF0 - 1), char(0xE0 - 1), char(0xC0 - 1));
    return _mm256_subs_epu8(input, limits);
}

struct Utf8BlockState
{
    __m256i previous;
    __m256i previousUnfinished;
    __m256i errors;
};

__attribute__((target("avx2"))) inline void checkBlock(__m256i input, Utf8BlockState &state)
{
    if (_mm256_movemask_epi8(input) == 0) {
        // ASCII cannot continue what the block before left unfinished.
        state.errors = _mm256_or_si256(state.errors, state.previousUnfinished);
        state.previousUnfinished = _mm256_setzero_si256();
    } else {
        state.errors = _mm256_or_si256(state.errors, errorsInBlock(input, state.previous));
        state.previousUnfinished = unfinishedAtEnd(input);
    }
    state.previous = input;
}

} // namespace

__attribute__((target("avx2"))) bool isCompleteUtf8Avx2(const unsigned char *data, std::size_t size)
{
    Utf8BlockState state{_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
    std::size_t i = 0;
    for (; i + 32 <= size; i += 32)
        checkBlock(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(data + i)), state);
    if (i < size) {
        alignas(32) unsigned char last[32] = {};
        std::memcpy(last, data + i, size - i);
        checkBlock(_mm256_load_si256(reinterpret_cast<const __m256i *>(last)), state);
    }
    const __m256i errors = _mm256_or_si256(state.errors, state.previousUnfinished);
    return _mm256_testz_si256(errors, errors);
}

namespace {

// For each set of four UTF-16 units, which of them need a second byte (low four
// bits of the index) and a third (high four bits): the shuffle that packs their
// UTF-8 bytes together, and how many bytes that makes.
struct PackTable
{
    std::array<std::array<char, 16>, 256> shuffle;
    std::array<unsigned char, 256> length;

    PackTable()
    {
        for (int index = 0; index < 256; ++index) {
            std::array<char, 16> &mask = shuffle[std::size_t(index)];
            mask.fill(char(0x80));
            int position = 0;
            for (int unit = 0; unit < 4; ++unit) {
                const int bytes = 1 + ((index >> unit) & 1) + ((index >> (unit + 4)) & 1);
                for (int b = 0; b < bytes; ++b)
                    mask[std::size_t(position++)] = char(unit * 4 + b);
            }
            length[std::size_t(index)] = static_cast<unsigned char>(position);
        }
    }
};

// Encodes eight units below the surrogates; returns the bytes written. Each unit
// becomes up to three bytes in a 32-bit lane, and a shuffle per group of four
// packs their bytes together.
__attribute__((target("avx2"))) inline unsigned encodeEightUnits(__m128i block, unsigned char *out,
                                                                  const PackTable &table)
{
    const __m256i units = _mm256_cvtepu16_epi32(block);
    const __m256i needsTwo = _mm256_cmpgt_epi32(units, _mm256_set1_epi32(0x7F));
    const __m256i needsThree = _mm256_cmpgt_epi32(units, _mm256_set1_epi32(0x7FF));
    const __m256i low6 = _mm256_set1_epi32(0x3F);
    const __m256i continuation = _mm256_set1_epi32(0x80);

    const __m256i leadOfTwo = _mm256_or_si256(_mm256_set1_epi32(0xC0), _mm256_srli_epi32(units, 6));
    const __m256i leadOfThree = _mm256_or_si256(_mm256_set1_epi32(0xE0), _mm256_srli_epi32(units, 12));
    const __m256i first =
        _mm256_blendv_epi8(units, _mm256_blendv_epi8(leadOfTwo, leadOfThree, needsThree), needsTwo);
    const __m256i second = _mm256_or_si256(
        continuation, _mm256_and_si256(_mm256_blendv_epi8(units, _mm256_srli_epi32(units, 6), needsThree), low6));
    const __m256i third = _mm256_or_si256(continuation, _mm256_and_si256(units, low6));
    const __m256i words =
        _mm256_or_si256(_mm256_or_si256(first, _mm256_slli_epi32(second, 8)), _mm256_slli_epi32(third, 16));

    const unsigned two = unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(needsTwo)));
    const unsigned three = unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(needsThree)));
    const std::size_t lowIndex = (two & 0xF) | ((three & 0xF) << 4);
    const std::size_t highIndex = (two >> 4) | ((three >> 4) << 4);
    const __m256i masks = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(table.shuffle[lowIndex].data()))),
        _mm_loadu_si128(reinterpret_cast<const __m128i *>(table.shuffle[highIndex].data())), 1);
    const __m256i packed = _mm256_shuffle_epi8(words, masks);
    const unsigned lowLength = table.length[lowIndex];
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm256_castsi256_si128(packed));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + lowLength), _mm256_extracti128_si256(packed, 1));
    return lowLength + table.length[highIndex];
}

} // namespace

__attribute__((target("avx2"))) Utf16Conversion utf16ToUtf8Avx2(const char16_t *units, std::size_t count,
                                                                  char *out)
{
    static const PackTable table;
    auto *bytes = reinterpret_cast<unsigned char *>(out);
    std::size_t i = 0;
    while (i + 8 <= count) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units + i));
        if (_mm_testz_si128(block, _mm_set1_epi16(short(0xFF80)))) {
            _mm_storel_epi64(reinterpret_cast<__m128i *>(bytes), _mm_packus_epi16(block, block));
            bytes += 8;
            i += 8;
            continue;
        }
        const __m128i surrogates =
            _mm_cmpeq_epi16(_mm_and_si128(block, _mm_set1_epi16(short(0xF800))), _mm_set1_epi16(short(0xD800)));
        if (!_mm_testz_si128(surrogates, surrogates)) {
            // Pairs and their faults are rare enough to take one at a time.
            const Utf16Conversion part = encodeFrom(units, count, i, i + 8, bytes, out);
            if (!part.valid || part.read < i + 8)
                return part;
            bytes = reinterpret_cast<unsigned char *>(out) + part.written;
            i = part.read;
            continue;
        }
        bytes += encodeEightUnits(block, bytes, table);
        i += 8;
    }
    return encodeFrom(units, count, i, count, bytes, out);
}

} // namespace TextJoin

#endif
