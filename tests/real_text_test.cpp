// Text of reals: the list-directed form and Fw.d, checked on exact inputs and against a slow
// reference that rounds the float's exact decimal expansion on digit strings.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "records/records.hpp"

namespace {

std::string list_text(float value) {
    char out[40];
    return {out, static_cast<std::size_t>(format_real_list(value, out))};
}

std::string fixed_text(float value, int32_t w, int32_t d) {
    char out[128];
    return {out, static_cast<std::size_t>(format_real_fixed(value, w, d, out))};
}

// The slow reference.
struct exact_digits {
    std::string digits;  // significant digits, first one not zero
    int point;           // value = 0.digits times ten to the power point
};

// Every significant digit of |value|: a float has at most 112, and printf expands a double
// exactly at any precision.
exact_digits expand_exactly(float value) {
    char text[160];
    std::snprintf(text, sizeof text, "%.120e", std::fabs(static_cast<double>(value)));
    const char* e = std::strchr(text, 'e');
    return {text[0] + std::string(text + 2, static_cast<std::size_t>(e - text - 2)),
            std::atoi(e + 1) + 1};
}

// Rounds half up to `count` digits (count >= 1), padding with zeros; a carry out of the
// first digit moves the point.
exact_digits round_half_up(exact_digits value, int count) {
    std::string& digits = value.digits;
    digits.resize(std::max<std::size_t>(digits.size(), static_cast<std::size_t>(count) + 1), '0');
    bool carry = digits[static_cast<std::size_t>(count)] >= '5';
    digits.resize(static_cast<std::size_t>(count));
    for (std::size_t i = digits.size(); carry && i-- > 0;) {
        carry = digits[i] == '9';
        digits[i] = carry ? '0' : static_cast<char>(digits[i] + 1);
    }
    if (carry) {  // every digit was a 9 and is now a 0
        digits.front() = '1';
        ++value.point;
    }
    return value;
}

char digit_or_zero(const exact_digits& value, int position) {
    const auto at = static_cast<std::size_t>(position);
    return position >= 0 && at < value.digits.size() ? value.digits[at] : '0';
}

std::string slow_list_text(float value) {
    if (value == 0.0f) return "0.000000E+00";
    const exact_digits r17 = round_half_up(expand_exactly(value), 17), r7 = round_half_up(r17, 7);
    std::string text = std::signbit(value) ? "-" : "";
    if (r17.point >= 1 && r17.point <= 7) {  // the form follows the 17-digit rounding
        for (int i = 0; i < r7.point; ++i) text += digit_or_zero(r7, i);
        text += '.';
        for (int i = 0; i < 6; ++i) text += digit_or_zero(r7, r7.point + i);
        return text;
    }
    char exponent[16];
    std::snprintf(exponent, sizeof exponent, "E%+03d", r7.point - 1);
    return text + r7.digits.substr(0, 1) + "." + r7.digits.substr(1, 6) + exponent;
}

std::string slow_fixed_text(float value, int w, int d) {
    exact_digits rounded{"", 0};  // no digits: the value rounds to zero
    if (value != 0.0f) {
        exact_digits r17 = round_half_up(expand_exactly(value), 17);
        int count = std::min(7, r17.point + d);
        if (count > 0) rounded = round_half_up(r17, count);
        if (count == 0 && r17.digits[0] >= '5') rounded = {"1", 1 - d};
    }
    std::string text = !rounded.digits.empty() && std::signbit(value) ? "-" : "";
    for (int i = 0; i < rounded.point; ++i) text += digit_or_zero(rounded, i);
    if (rounded.point <= 0 && d == 0) text += '0';
    text += '.';
    for (int i = 0; i < d; ++i) text += digit_or_zero(rounded, rounded.point + i);
    if (static_cast<int>(text.size()) > w) return std::string(static_cast<std::size_t>(w), '*');
    return std::string(static_cast<std::size_t>(w) - text.size(), ' ') + text;
}

void expect_same_as_reference(float value) {
    if (!std::isfinite(value)) return;  // no digits to compare
    ASSERT_EQ(list_text(value), slow_list_text(value)) << "bits " << std::bit_cast<uint32_t>(value);
    for (int d : {0, 2, 5})
        ASSERT_EQ(fixed_text(value, 12, d), slow_fixed_text(value, 12, d)) << value << " " << d;
}

#ifdef NDEBUG
constexpr int random_rounds = 100000;
#else
constexpr int random_rounds = 40000;  // sanitizer builds are many times slower
#endif

}  // namespace

// Both forms, zero without a sign, the type's extremes; the form follows the point position
// of the 17-digit rounding and a carry of the 7-digit rounding then raises the exponent;
// ties of the 8th digit round up, never to even, and digits past the 7th are written as 0.
TEST(FormatReal, ListForm) {
    const std::pair<float, const char*> rows[] = {
        {-0.25f, "-2.500000E-01"},      {-0.0f, "0.000000E+00"},
        {-INFINITY, "-Infinity"},       {std::bit_cast<float>(0x7f800001u), "NaN"},
        {9999999.0f, "9999999.000000"}, {10000000.0f, "1.000000E+07"},
        {12345665.0f, "1.234567E+07"},  {-1.0078125f, "-1.007813"},  // an exact tie
    };
    for (const auto& [value, expected] : rows) EXPECT_EQ(list_text(value), expected) << value;
}

// Fw.d: no 0 before the point unless the field has neither integer digits nor decimals, no
// sign on a value that rounds to zero, asterisks when the text is longer than the field;
// rounding at min(7, p + d) significant digits, half up; at p + d = 0 the first digit
// decides between zero and one unit of the last decimal; a carry adds an integer digit.
TEST(FormatFixed, Rules) {
    const std::tuple<float, int32_t, int32_t, const char*> rows[] = {
        {-0.004f, 7, 2, "    .00"},
        {0.3f, 3, 0, " 0."},
        {0.5f, 3, 2, ".50"},
        {-0.5f, 3, 2, "***"},
        {-INFINITY, 7, 2, "   -Inf"},
        {0.5f, 3, 0, " 1."},
        {99.996f, 7, 2, " 100.00"},
        {123456.78f, 12, 3, "  123456.800"},
        {16777216.0f, 12, 1, "  16777220.0"},
    };
    for (const auto& [value, w, d, expected] : rows)
        EXPECT_EQ(fixed_text(value, w, d), expected) << value;
}

// The fast rendering agrees with the exact reference on hard values and their 40 float
// neighbours each way, of either sign (both ends of the form switch, 8th-digit ties, carries,
// subnormals, extremes, every mantissa step of 1/128 from 1 to 2), on the smallest
// subnormals, on random floats over the whole range and the ranges the program writes most,
// and on decimal ties of the 8th digit (x.xxxxxx5 times a power of ten) with their float
// neighbours.
TEST(FormatReal, MatchesExactReference) {
    std::vector<float> seeds = {1.0e7f,         0.1f,     0.999f,   0.01f,
                                12345665.0f,    FLT_MAX,  FLT_MIN,  FLT_TRUE_MIN,
                                4.76837158e-7f, 1.0e-10f, 5.0e-39f, 1.0e11f};
    for (int k = 128; k < 256; ++k) seeds.push_back(static_cast<float>(k) / 128.0f);
    for (float seed : seeds) {
        for (int32_t step = -40; step <= 40; ++step) {
            const float value =
                std::bit_cast<float>(std::bit_cast<uint32_t>(seed) + static_cast<uint32_t>(step));
            expect_same_as_reference(value);
            expect_same_as_reference(-value);
        }
    }
    for (uint32_t bits = 0; bits < 2000; ++bits)
        expect_same_as_reference(std::bit_cast<float>(bits));
    std::mt19937 random(20240611);
    std::uniform_int_distribution<uint32_t> any_bits;
    std::uniform_real_distribution<float> near_one(-20.0f, 20.0f), near_switch(5.0e6f, 2.0e7f);
    std::uniform_int_distribution<int32_t> mantissa(1000000, 9999999), power(-44, 38);
    for (int round = 0; round < random_rounds && !HasFatalFailure(); ++round) {
        expect_same_as_reference(std::bit_cast<float>(any_bits(random)));
        expect_same_as_reference(near_one(random));
        expect_same_as_reference(near_switch(random));
        const float tie = std::strtof(
            (std::to_string(mantissa(random)) + "5e" + std::to_string(power(random))).c_str(),
            nullptr);
        expect_same_as_reference(std::nextafter(tie, 0.0f));
        expect_same_as_reference(tie);
    }
}
