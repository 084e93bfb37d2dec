// Numbers and tokens as a text file of segments holds them.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

// The blanks between tokens: the C library's white space.
inline bool isBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// The length of a UTF-8 byte-order mark at `at` (3), or 0 where none
// starts the `size` bytes there.
inline std::size_t byteOrderMark(const char* at, std::size_t size) {
  return size >= 3 && std::memcmp(at, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
}

// The number in [begin, stop), as the C library's strtof reads it: false if
// the token is not all one finite float. The byte at `stop` must be
// writable; it is restored.
bool readFloat(char* begin, char* stop, float& value);

// A token as it may be shown on a terminal: every byte that is not printable
// ASCII is written as \xHH, so that a stray byte can neither drive the
// terminal nor hide in the line (a zero-width space inside "12" would show
// as a good number). A malformed number needs no other script.
std::string printableToken(const std::string& token);
