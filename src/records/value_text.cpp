// Value texts of input.txt: integers and reals converted strictly from their decimal text,
// and a found value shown safely in a message.
#include <charconv>
#include <string>
#include <system_error>

#include "core/numbers.hpp"
#include "records/fatal.hpp"
#include "records/input_records.hpp"

namespace {

constexpr std::size_t shown_token_length = 40;     // longer found values are cut and marked "..."
constexpr int64_t exponent_limit = 1'000'000'000;  // beyond this every real over- or underflows

// Reads an optionally signed run of digits at text[i]; the value saturates at the limit
// (only its size matters there). False when there are no digits.
bool take_exponent(std::string_view text, std::size_t& i, int64_t& exponent) {
    bool negative = false;
    if (i < text.size() && is_sign(text[i])) negative = text[i++] == '-';
    std::size_t first = i;
    int64_t magnitude = 0;
    for (; i < text.size() && is_digit(text[i]); ++i)
        if (magnitude < exponent_limit) magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > exponent_limit) magnitude = exponent_limit;
    exponent = negative ? -magnitude : magnitude;
    return i > first;
}

// Power of ten just above the magnitude of a nonzero mantissa times 10^exponent:
// "123" -> 3, "0.05" -> -1. Only its sign is used, to tell overflow from underflow.
int64_t decimal_magnitude(std::string_view whole, std::string_view fraction, int64_t exponent) {
    std::size_t first = whole.find_first_not_of('0');
    if (first != std::string_view::npos)
        return static_cast<int64_t>(whole.size() - first) + exponent;
    first = fraction.find_first_not_of('0');
    return exponent - static_cast<int64_t>(first);
}

}  // namespace

conversion convert_integer(std::string_view text, int32_t& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && is_sign(text[i])) negative = text[i++] == '-';
    if (i == text.size()) return conversion::malformed;
    const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
    int64_t magnitude = 0;
    bool too_large = false;
    for (; i < text.size(); ++i) {
        if (!is_digit(text[i])) return conversion::malformed;
        if (!too_large) magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit) too_large = true;
    }
    if (too_large) return conversion::out_of_range;
    value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return conversion::done;
}

conversion convert_real(std::string_view text, float& value) {
    // Step 1: sign and mantissa, at least one digit.
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && is_sign(text[i])) negative = text[i++] == '-';
    std::size_t whole_start = i;
    while (i < text.size() && is_digit(text[i])) ++i;
    std::string_view whole = text.substr(whole_start, i - whole_start);
    std::string_view fraction;
    if (i < text.size() && text[i] == '.') {
        std::size_t fraction_start = ++i;
        while (i < text.size() && is_digit(text[i])) ++i;
        fraction = text.substr(fraction_start, i - fraction_start);
    }
    if (whole.empty() && fraction.empty()) return conversion::malformed;

    // Step 2: exponent, as a letter E, D, e or d with a signed integer, or as a sign alone.
    int64_t exponent = 0;
    if (i < text.size()) {
        char c = text[i];
        if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
            ++i;
            if (!take_exponent(text, i, exponent)) return conversion::malformed;
        } else if (is_sign(c)) {
            if (!take_exponent(text, i, exponent)) return conversion::malformed;
        } else {
            return conversion::malformed;
        }
    }
    if (i != text.size()) return conversion::malformed;

    // Step 3: rewrite as "-123.45e-6" and round once, straight to single precision.
    std::string plain;
    plain.reserve(whole.size() + fraction.size() + 16);
    if (negative) plain += '-';
    plain += whole.empty() ? std::string_view("0") : whole;
    plain += '.';
    plain += fraction.empty() ? std::string_view("0") : fraction;
    plain += 'e';
    plain += std::to_string(exponent);

    fp_trap_pause pause;
    float converted = 0.0f;
    std::from_chars_result result =
        std::from_chars(plain.data(), plain.data() + plain.size(), converted);
    if (result.ec == std::errc::result_out_of_range) {
        // Step 4: out of range either way; only overflow is an error.
        if (decimal_magnitude(whole, fraction, exponent) > 0) return conversion::out_of_range;
        converted = negative ? -0.0f : 0.0f;
    } else if (result.ec != std::errc() || result.ptr != plain.data() + plain.size()) {
        return conversion::malformed;
    }
    value = converted;
    return conversion::done;
}

std::string quoted_for_message(std::string_view text) {
    std::string shown = "'";
    std::size_t count = text.size() < shown_token_length ? text.size() : shown_token_length;
    for (std::size_t i = 0; i < count; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            shown += static_cast<char>(c);
        } else {
            append_hex_escape(shown, c);
        }
    }
    if (text.size() > shown_token_length) shown += "...";
    shown += "'";
    return shown;
}
