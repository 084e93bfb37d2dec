#include "numbers.h"

#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Powers of ten that are exact doubles.
constexpr double exactTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The commonest numbers of a drawing, such as "-123.456" or "7456012.3125":
// an optional minus, digits and at most one point. Their digits make an
// integer of at most 2^53 and their point a power of ten up to 10^18, both
// exact doubles, so one division rounds the quotient once, correctly, to a
// double. Rounding that to a float gives the float nearest to the decimal,
// as strtof does, unless the double fell exactly halfway between two floats
// (then the decimal may lie on either side) or below the normal floats
// (where the halfway points lie elsewhere): those go to strtof.
bool plainDecimal(const char* at, const char* stop, float& value) {
  const bool negative = at != stop && *at == '-';
  at += negative;
  // At most 19 digits, which no uint64 overflows with; longer numbers are
  // rare, and go to the readers below.
  if (stop - at > 19) return false;
  std::uint64_t digits = 0;
  const char* p = at;
  for (; p != stop && unsigned(*p) - '0' < 10; ++p) digits = digits * 10 + unsigned(*p - '0');
  std::ptrdiff_t count = p - at;
  int scale = 0;  // digits after the point
  if (p != stop && *p == '.') {
    const char* const fraction = ++p;
    for (; p != stop && unsigned(*p) - '0' < 10; ++p) digits = digits * 10 + unsigned(*p - '0');
    scale = int(p - fraction);
    count += scale;
  }
  if (p != stop || count == 0 || digits > (std::uint64_t(1) << 53)) return false;
  const double quotient = double(digits) / exactTens[scale];
  if ((std::bit_cast<std::uint64_t>(quotient) & 0x1FFFFFFF) == 0x10000000) return false;
  if (quotient != 0 && !(quotient >= 0x1p-126 && quotient <= FLT_MAX)) return false;
  value = negative ? -float(quotient) : float(quotient);
  return true;
}

}  // namespace

// The C library's strtof decides what a number is. The plain decimals
// above, and std::from_chars, give the same correctly rounded value several
// times faster, where they take the whole token without complaint;
// everything else (a sign +, hexadecimal, underflow, overflow, a token that
// is not a number) goes to strtof.
bool readFloat(char* begin, char* stop, float& value) {
  if (plainDecimal(begin, stop, value)) return true;
  const auto [end, error] = std::from_chars(begin, stop, value);
  if (error == std::errc() && end == stop) return std::isfinite(value);
  const char saved = *stop;
  *stop = '\0';
  char* converted = nullptr;
  value = std::strtof(begin, &converted);
  *stop = saved;
  // Overflow yields infinity; underflow yields a finite value, which is kept.
  return converted == stop && std::isfinite(value);
}

std::string printableToken(const std::string& token) {
  std::string shown;
  for (const char c : token) {
    if (c >= 0x20 && c < 0x7F) {
      shown += c;
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
      shown += escaped;
    }
  }
  return shown;
}
