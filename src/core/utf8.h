#pragma once

#include <cstddef>

namespace TextJoin {

struct Utf8Scan
{
    // Bytes from the start that form complete, valid sequences.
    std::size_t complete = 0;
    // False when an invalid sequence starts at `complete`. When true, the bytes
    // after `complete` (at most three) begin a sequence that the data cut short.
    bool valid = true;
};

// Checks UTF-8 strictly: no overlong forms, no surrogates, nothing above U+10FFFF.
Utf8Scan scanUtf8(const unsigned char *data, std::size_t size);

} // namespace TextJoin
