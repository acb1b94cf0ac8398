// Text of single-precision reals: the list-directed form and the Fw.d edit descriptor, and
// the shortest text of a real for the outputs that hold numbers as data.
// Both start from one primitive, the value's exact decimal expansion rounded to 17
// significant digits, and then round that digit string half up on one further digit, so a
// value is never rounded twice by binary arithmetic. Infinities and NaNs cannot come out of
// a trapped run, but are still written as words rather than as garbage digits.
#include <bit>
#include <charconv>
#include <cstring>
#include <string>

#include "records/records.hpp"

namespace {

constexpr int32_t stored_digits = 17;  // significant digits kept from the exact expansion
constexpr int32_t kept_digits = 8;     // of those, the ones any later rounding looks at
constexpr int32_t shown_digits = 7;    // significant digits a real is written with

// value = 0.d1 d2 ... d8 times ten to the power `point`, where d1..d8 lead the value's exact
// expansion rounded to 17 significant digits; zero has digits "000..." and point 0.
struct decimal_digits {
    char digit[kept_digits];
    int32_t point;
    bool is_negative;
    bool is_zero;
};

enum class special_value : int32_t { none, infinity, nan };

// Reads the class of a float from its bits, so that no comparison can raise a trapped
// invalid-operation fault on a NaN.
special_value classify(float value, bool& is_negative) {
    uint32_t bits = std::bit_cast<uint32_t>(value);
    is_negative = (bits >> 31) != 0;
    if ((bits & 0x7f800000u) != 0x7f800000u) return special_value::none;
    return (bits & 0x007fffffu) == 0 ? special_value::infinity : special_value::nan;
}

__extension__ typedef unsigned __int128 uint128;

// Every float of at least 2^-21 is m * 2^e with m < 2^24 and -44 <= e <= 104, and then
// m * 2^e or m * 5^-e fits into 128 bits: the exact expansion is an integer.
constexpr int32_t max_five_power = 44;
constexpr int32_t max_ten_power = 38;  // 10^38 < 2^128

struct power_tables {
    uint128 five[max_five_power + 1];
    uint128 ten[max_ten_power + 1];
};

constexpr power_tables make_power_tables() {
    power_tables tables{};
    tables.five[0] = 1;
    for (int32_t i = 1; i <= max_five_power; ++i) tables.five[i] = tables.five[i - 1] * 5;
    tables.ten[0] = 1;
    for (int32_t i = 1; i <= max_ten_power; ++i) tables.ten[i] = tables.ten[i - 1] * 10;
    return tables;
}

constexpr power_tables powers = make_power_tables();

// Decimal digits of n > 0, from its bit length: n has either `guess` or `guess` + 1 digits.
int32_t count_digits(uint128 n) {
    uint64_t high = static_cast<uint64_t>(n >> 64);
    uint64_t low = static_cast<uint64_t>(n);
    int32_t bits = high != 0 ? 128 - __builtin_clzll(high) : 64 - __builtin_clzll(low | 1u);
    int32_t guess = (bits * 1233) >> 12;
    return guess + (n >= powers.ten[guess] ? 1 : 0);
}

// The first 8 digits of n (with `digits` digits) rounded half up to 17 significant digits.
// The 17-digit rounding reaches the 8th digit only when digits 9 to 17 are all 9 and the
// 18th is 5 or more. A quotient estimated in double precision is off by at most one and is
// corrected exactly.
uint64_t leading_digits(uint128 n, int32_t digits) {
    if (digits <= kept_digits) return static_cast<uint64_t>(n * powers.ten[kept_digits - digits]);
    if (digits <= stored_digits) {
        return static_cast<uint64_t>(n) / static_cast<uint64_t>(powers.ten[digits - kept_digits]);
    }
    uint128 unit = powers.ten[digits - kept_digits];
    uint64_t quotient = static_cast<uint64_t>(static_cast<double>(n) / static_cast<double>(unit));
    uint128 product = quotient * unit;
    if (product > n) {
        --quotient;
        product -= unit;
    }
    uint128 rest = n - product;
    if (rest >= unit) {
        ++quotient;
        rest -= unit;
    }
    if (rest >= unit - 5 * powers.ten[digits - stored_digits - 1]) ++quotient;
    return quotient;
}

// Integer route for m * 2^e; false when e is below the range the tables cover.
bool expand_with_integers(uint32_t bits, decimal_digits& result) {
    int32_t field = static_cast<int32_t>((bits >> 23) & 0xffu);
    int32_t exponent = field - 150;
    if (field == 0 || exponent < -max_five_power) return false;
    uint128 mantissa = (bits & 0x7fffffu) | 0x800000u;
    uint128 n = exponent >= 0 ? mantissa << exponent : mantissa * powers.five[-exponent];
    int32_t digits = count_digits(n);
    uint64_t leading = leading_digits(n, digits);
    result.point = digits - (exponent < 0 ? -exponent : 0);
    if (leading == 100000000u) {  // 99999999|5... -> 10000000, one more integer digit
        leading = 10000000u;
        ++result.point;
    }
    for (int32_t i = kept_digits - 1; i >= 0; --i) {
        result.digit[i] = static_cast<char>('0' + leading % 10);
        leading /= 10;
    }
    return true;
}

// The same digits from the standard library's correctly rounded conversion, for the values
// below 2^-21. It rounds ties to even where the digit rules say half up; the two differ
// only in the 17th digit of an exact tie, never in the first 16.
void expand_with_library(float magnitude, decimal_digits& result) {
    // "1.2345678901234567e-05": one digit, the point, 16 digits, the exponent.
    char text[40];
    std::to_chars_result end =
        std::to_chars(text, text + sizeof text, static_cast<double>(magnitude),
                      std::chars_format::scientific, stored_digits - 1);
    result.digit[0] = text[0];
    std::memcpy(result.digit + 1, text + 2, kept_digits - 1);
    const char* exponent_text = text + 2 + (stored_digits - 1) + 1;
    bool exponent_is_negative = *exponent_text == '-';
    int32_t exponent = 0;
    for (const char* c = exponent_text + 1; c < end.ptr; ++c) exponent = exponent * 10 + (*c - '0');
    result.point = (exponent_is_negative ? -exponent : exponent) + 1;
}

decimal_digits expand_decimal(float value, bool is_negative) {
    decimal_digits result{};
    result.is_negative = is_negative;
    uint32_t magnitude_bits = std::bit_cast<uint32_t>(value) & 0x7fffffffu;
    if (magnitude_bits == 0) {
        std::memset(result.digit, '0', kept_digits);
        result.is_zero = true;
        return result;
    }
    if (!expand_with_integers(magnitude_bits, result))
        expand_with_library(std::bit_cast<float>(magnitude_bits), result);
    return result;
}

// Rounds the digits half up to `count` significant digits (1..7), deciding on the next
// digit alone; the digits after them become "0". A carry out of the first digit gives
// "1000..." and moves the point one place right: 9.9999996 at 7 -> 10.00000.
void round_digits(decimal_digits& value, int32_t count) {
    bool round_up = value.digit[count] >= '5';
    std::memset(value.digit + count, '0', static_cast<std::size_t>(kept_digits - count));
    if (!round_up) return;
    int32_t i = count - 1;
    while (i >= 0 && value.digit[i] == '9') value.digit[i--] = '0';
    if (i >= 0) {
        ++value.digit[i];
        return;
    }
    value.digit[0] = '1';
    ++value.point;
}

// Digit at a 0-based significant position, "0" outside the kept digits.
char digit_at(const decimal_digits& value, int32_t position) {
    if (position < 0 || position >= kept_digits) return '0';
    return value.digit[position];
}

int32_t write_special_word(special_value kind, bool is_negative, bool is_short, char* out) {
    const char* word = kind == special_value::nan ? "NaN" : (is_short ? "Inf" : "Infinity");
    int32_t length = 0;
    if (kind == special_value::infinity && is_negative) out[length++] = '-';
    for (const char* c = word; *c != '\0'; ++c) out[length++] = *c;
    return length;
}

// 1234567.0 -> "1234567.000000", 0.5 -> "5.000000E-01", 0.0 -> "0.000000E+00".
// List-directed texts of recently written values; the longest, "-10000000.000000" after a
// carry, has 16 characters.
struct recent_text {
    uint32_t bits;
    int32_t length;  // 0 while the slot is empty
    char text[24];
};
constexpr int32_t recent_text_bits = 8;
recent_text recent_list_texts[1 << recent_text_bits];

int32_t write_list_digits(decimal_digits& value, char* out) {
    int32_t length = 0;
    if (value.is_negative && !value.is_zero) out[length++] = '-';
    bool is_fixed = value.point >= 1 && value.point <= shown_digits;
    if (!value.is_zero) round_digits(value, shown_digits);
    if (is_fixed) {
        for (int32_t i = 0; i < value.point; ++i) out[length++] = digit_at(value, i);
        out[length++] = '.';
        for (int32_t i = value.point; i < value.point + 6; ++i) out[length++] = digit_at(value, i);
        return length;
    }
    out[length++] = value.digit[0];
    out[length++] = '.';
    for (int32_t i = 1; i < shown_digits; ++i) out[length++] = value.digit[i];
    int32_t exponent = value.is_zero ? 0 : value.point - 1;
    out[length++] = 'E';
    out[length++] = exponent < 0 ? '-' : '+';
    if (exponent < 0) exponent = -exponent;
    if (exponent >= 100) out[length++] = static_cast<char>('0' + exponent / 100);
    out[length++] = static_cast<char>('0' + exponent / 10 % 10);
    out[length++] = static_cast<char>('0' + exponent % 10);
    return length;
}

// Rounds for Fw.d at min(7, p + d) significant digits; returns false when the value
// rounds to zero. 0.004 at d = 2 -> zero; 0.006 at d = 2 -> one unit, ".01".
bool round_for_decimals(decimal_digits& value, int32_t decimals) {
    if (value.is_zero) return false;
    int32_t count = value.point + decimals;
    if (count > shown_digits) count = shown_digits;
    if (count < 0) return false;
    if (count == 0) {
        if (value.digit[0] < '5') return false;
        std::memset(value.digit, '0', kept_digits);
        value.digit[0] = '1';
        value.point = 1 - decimals;
        return true;
    }
    round_digits(value, count);
    return true;
}

void fill_with(char* out, int32_t count, char c) {
    if (count > 0) std::memset(out, c, static_cast<std::size_t>(count));
}

}  // namespace

int32_t format_real_list(float value, char* out) {
    // The trace repeats many values (a point's energy once per surface, the window bounds):
    // a small table of recent texts, keyed by the value's bits, spares their digits.
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    recent_text& recent = recent_list_texts[(bits * 2654435761u) >> (32 - recent_text_bits)];
    if (recent.length > 0 && recent.bits == bits) {
        std::memcpy(out, recent.text, sizeof recent.text);
        return recent.length;
    }
    bool is_negative = false;
    special_value kind = classify(value, is_negative);
    int32_t length = 0;
    if (kind != special_value::none) {
        length = write_special_word(kind, is_negative, false, out);
    } else {
        decimal_digits digits = expand_decimal(value, is_negative);
        length = write_list_digits(digits, out);
    }
    recent.bits = bits;
    recent.length = length;
    std::memcpy(recent.text, out, static_cast<std::size_t>(length));
    return length;
}

// 12.345 with F7.2 -> "  12.35", -0.25 -> "   -.25", 0.3 with F3.0 -> " 0.", 1e6 with F7.2
// -> "*******".
int32_t format_real_fixed(float value, int32_t w, int32_t d, char* out) {
    if (w <= 0) return 0;
    if (d < 0) d = 0;
    bool is_negative = false;
    special_value kind = classify(value, is_negative);
    if (kind != special_value::none) {
        char word[12];
        int32_t length = write_special_word(kind, is_negative, w < 9, word);
        if (length > w) {
            fill_with(out, w, '*');
        } else {
            fill_with(out, w - length, ' ');
            std::memcpy(out + w - length, word, static_cast<std::size_t>(length));
        }
        return w;
    }
    decimal_digits digits = expand_decimal(value, is_negative);
    bool is_nonzero = round_for_decimals(digits, d);
    int32_t integer_digits = is_nonzero && digits.point > 0 ? digits.point : 0;
    bool has_sign = is_negative && is_nonzero;
    bool has_lone_zero = integer_digits == 0 && d == 0;
    int32_t length = (has_sign ? 1 : 0) + (has_lone_zero ? 1 : 0) + integer_digits + 1 + d;
    if (length > w) {
        fill_with(out, w, '*');
        return w;
    }
    char* c = out;
    fill_with(c, w - length, ' ');
    c += w - length;
    if (has_sign) *c++ = '-';
    if (has_lone_zero) *c++ = '0';
    for (int32_t i = 0; i < integer_digits; ++i) *c++ = digit_at(digits, i);
    *c++ = '.';
    for (int32_t i = 0; i < d; ++i) *c++ = is_nonzero ? digit_at(digits, digits.point + i) : '0';
    return w;
}

std::string shortest_real_text(float value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string shortest_real_text(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string real_list_text(float value) {
    char text[32];
    return std::string(text, static_cast<std::size_t>(format_real_list(value, text)));
}
