// Text of reals: the list-directed form and Fw.d, checked on exact inputs and against a slow
// reference that expands each float exactly with big-integer arithmetic and then rounds on
// digit strings.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "records/records.hpp"

namespace {

std::string list_text(float value) {
    char out[40];
    return std::string(out, static_cast<std::size_t>(format_real_list(value, out)));
}

std::string fixed_text(float value, int32_t w, int32_t d) {
    char out[128];
    return std::string(out, static_cast<std::size_t>(format_real_fixed(value, w, d, out)));
}

// ---------------------------------------------------------------------------------------
// Slow reference

struct exact_digits {
    std::string digits;  // significant digits, first one not zero
    int point;           // value = 0.digits times ten to the power point
};

// Every digit of m * 2^e, from a base-10^9 big integer: m * 2^e when e >= 0, otherwise
// m * 5^-e with the point moved -e places to the left.
exact_digits expand_exactly(float value) {
    uint32_t bits = std::bit_cast<uint32_t>(value);
    uint32_t field = (bits >> 23) & 0xffu;
    uint32_t mantissa = bits & 0x7fffffu;
    int exponent = field == 0 ? -149 : static_cast<int>(field) - 150;
    if (field != 0) mantissa |= 0x800000u;
    std::vector<uint64_t> limbs{mantissa};
    auto multiply = [&limbs](uint64_t factor) {
        uint64_t carry = 0;
        for (uint64_t& limb : limbs) {
            uint64_t product = limb * factor + carry;
            limb = product % 1000000000u;
            carry = product / 1000000000u;
        }
        while (carry > 0) {
            limbs.push_back(carry % 1000000000u);
            carry /= 1000000000u;
        }
    };
    for (int i = 0; i < std::abs(exponent); ++i) multiply(exponent > 0 ? 2 : 5);
    std::string text = std::to_string(limbs.back());
    for (std::size_t i = limbs.size() - 1; i-- > 0;) {
        std::string part = std::to_string(limbs[i]);
        text += std::string(9 - part.size(), '0') + part;
    }
    int shift = exponent < 0 ? -exponent : 0;
    return {text, static_cast<int>(text.size()) - shift};
}

// Rounds half up to `count` digits (count >= 1), padding with zeros.
exact_digits round_half_up(exact_digits value, int count) {
    value.digits.resize(std::max<std::size_t>(value.digits.size(), static_cast<std::size_t>(count) + 1), '0');
    bool up = value.digits[static_cast<std::size_t>(count)] >= '5';
    value.digits.resize(static_cast<std::size_t>(count));
    if (!up) return value;
    int i = count - 1;
    while (i >= 0 && value.digits[static_cast<std::size_t>(i)] == '9') value.digits[static_cast<std::size_t>(i--)] = '0';
    if (i >= 0) {
        ++value.digits[static_cast<std::size_t>(i)];
    } else {
        value.digits.pop_back();
        value.digits.insert(value.digits.begin(), '1');
        ++value.point;
    }
    return value;
}

char digit_or_zero(const exact_digits& value, int position) {
    if (position < 0 || position >= static_cast<int>(value.digits.size())) return '0';
    return value.digits[static_cast<std::size_t>(position)];
}

bool is_zero(float value) { return (std::bit_cast<uint32_t>(value) & 0x7fffffffu) == 0; }
bool is_negative(float value) { return std::bit_cast<uint32_t>(value) >> 31 != 0; }

std::string slow_list_text(float value) {
    if (is_zero(value)) return "0.000000E+00";
    exact_digits r17 = round_half_up(expand_exactly(value), 17);
    bool fixed = r17.point >= 1 && r17.point <= 7;
    exact_digits r7 = round_half_up(r17, 7);
    std::string text = is_negative(value) ? "-" : "";
    if (fixed) {
        for (int i = 0; i < r7.point; ++i) text += digit_or_zero(r7, i);
        text += '.';
        for (int i = 0; i < 6; ++i) text += digit_or_zero(r7, r7.point + i);
        return text;
    }
    text += r7.digits.substr(0, 1) + "." + r7.digits.substr(1, 6) + "E";
    int exponent = r7.point - 1;
    text += exponent < 0 ? '-' : '+';
    std::string magnitude = std::to_string(std::abs(exponent));
    return text + (magnitude.size() < 2 ? "0" : "") + magnitude;
}

std::string slow_fixed_text(float value, int w, int d) {
    bool nonzero = false;
    exact_digits rounded{"0", 0};
    if (!is_zero(value)) {
        exact_digits r17 = round_half_up(expand_exactly(value), 17);
        int count = std::min(7, r17.point + d);
        if (count > 0) {
            rounded = round_half_up(r17, count);
            nonzero = true;
        } else if (count == 0 && r17.digits[0] >= '5') {
            rounded = {"1", 1 - d};
            nonzero = true;
        }
    }
    std::string text = nonzero && is_negative(value) ? "-" : "";
    int integer_digits = nonzero ? std::max(rounded.point, 0) : 0;
    for (int i = 0; i < integer_digits; ++i) text += digit_or_zero(rounded, i);
    if (integer_digits == 0 && d == 0) text += '0';
    text += '.';
    for (int i = 0; i < d; ++i) text += nonzero ? digit_or_zero(rounded, rounded.point + i) : '0';
    if (static_cast<int>(text.size()) > w) return std::string(static_cast<std::size_t>(w), '*');
    return std::string(static_cast<std::size_t>(w) - text.size(), ' ') + text;
}

float float_from_bits(uint32_t bits) { return std::bit_cast<float>(bits); }

bool is_finite_bits(uint32_t bits) { return (bits & 0x7f800000u) != 0x7f800000u; }

void expect_same_as_reference(float value) {
    if (!is_finite_bits(std::bit_cast<uint32_t>(value))) return;  // no digits to compare
    ASSERT_EQ(list_text(value), slow_list_text(value)) << "bits " << std::bit_cast<uint32_t>(value);
    for (int d : {0, 2, 5}) ASSERT_EQ(fixed_text(value, 12, d), slow_fixed_text(value, 12, d)) << value << " " << d;
}

#ifdef NDEBUG
constexpr int random_rounds = 400000;
#else
constexpr int random_rounds = 40000;  // sanitizer builds are many times slower
#endif

}  // namespace

// Examples of the list-directed form, both forms, zero without a sign, the type's extremes.
TEST(FormatReal, Basic) {
    EXPECT_EQ(list_text(1.0f), "1.000000");
    EXPECT_EQ(list_text(12.25f), "12.250000");
    EXPECT_EQ(list_text(-3.0f), "-3.000000");
    EXPECT_EQ(list_text(1234567.0f), "1234567.000000");
    EXPECT_EQ(list_text(123.456f), "123.456000");
    EXPECT_EQ(list_text(0.5f), "5.000000E-01");
    EXPECT_EQ(list_text(1.0e-5f), "1.000000E-05");
    EXPECT_EQ(list_text(-0.25f), "-2.500000E-01");
    EXPECT_EQ(list_text(0.0f), "0.000000E+00");
    EXPECT_EQ(list_text(-0.0f), "0.000000E+00");
    EXPECT_EQ(list_text(-FLT_MAX), "-3.402823E+38");
    EXPECT_EQ(list_text(FLT_MIN), "1.175494E-38");
    EXPECT_EQ(list_text(FLT_TRUE_MIN), "1.401298E-45");
    EXPECT_EQ(list_text(-INFINITY), "-Infinity");
    EXPECT_EQ(list_text(std::bit_cast<float>(0x7f800001u)), "NaN");  // signalling
}

// The form follows the point position of the 17-digit rounding; a carry of the 7-digit
// rounding then raises the exponent.
TEST(FormatReal, ExponentSwitch) {
    EXPECT_EQ(list_text(9999999.0f), "9999999.000000");
    EXPECT_EQ(list_text(10000000.0f), "1.000000E+07");
    EXPECT_EQ(list_text(0.999f), "9.990000E-01");
    EXPECT_EQ(list_text(0.99999994f), "9.999999E-01");  // 0.999999940395...
    EXPECT_EQ(list_text(0.01f), "1.000000E-02");        // 9.9999997764825821E-03
    EXPECT_EQ(list_text(1.0e11f), "1.000000E+11");      // 99999997952
}

// Ties of the 8th digit round up, never to even; digits past the 7th are written as 0.
TEST(FormatReal, RoundingBoundaries) {
    EXPECT_EQ(list_text(12345665.0f), "1.234567E+07");
    EXPECT_EQ(list_text(12345675.0f), "1.234568E+07");
    EXPECT_EQ(list_text(-1.0078125f), "-1.007813");
    EXPECT_EQ(list_text(2.0000005f), "2.000000");       // 2.00000047683...
    EXPECT_EQ(list_text(1.2345675f), "1.234568");       // 1.23456752300...
    EXPECT_EQ(list_text(999999.94f), "999999.900000");  // 999999.9375
}

// Fw.d: no 0 before the point unless the field has neither integer digits nor decimals, no
// sign on a value that rounds to zero, asterisks when the text is longer than the field.
TEST(FormatFixed, Basic) {
    EXPECT_EQ(fixed_text(0.5f, 7, 2), "    .50");
    EXPECT_EQ(fixed_text(-0.25f, 7, 2), "   -.25");
    EXPECT_EQ(fixed_text(-0.004f, 7, 2), "    .00");
    EXPECT_EQ(fixed_text(0.3f, 3, 0), " 0.");
    EXPECT_EQ(fixed_text(12.345f, 7, 2), "  12.35");
    EXPECT_EQ(fixed_text(-0.0f, 3, 0), " 0.");
    EXPECT_EQ(fixed_text(1234.0f, 7, 2), "1234.00");
    EXPECT_EQ(fixed_text(-1234.0f, 7, 2), "*******");
    EXPECT_EQ(fixed_text(0.5f, 3, 2), ".50");
    EXPECT_EQ(fixed_text(-0.5f, 3, 2), "***");
    EXPECT_EQ(fixed_text(-INFINITY, 7, 2), "   -Inf");
}

// Rounding at min(7, p + d) significant digits, half up; at p + d = 0 the first digit
// decides between zero and one unit of the last decimal; a carry adds an integer digit.
TEST(FormatFixed, RoundingBoundaries) {
    EXPECT_EQ(fixed_text(0.125f, 7, 2), "    .13");
    EXPECT_EQ(fixed_text(2.5f, 3, 0), " 3.");
    EXPECT_EQ(fixed_text(0.5f, 3, 0), " 1.");
    EXPECT_EQ(fixed_text(-0.006f, 7, 2), "   -.01");
    EXPECT_EQ(fixed_text(0.0004f, 7, 2), "    .00");
    EXPECT_EQ(fixed_text(0.996f, 7, 2), "   1.00");
    EXPECT_EQ(fixed_text(99.996f, 7, 2), " 100.00");
    EXPECT_EQ(fixed_text(123456.78f, 12, 3), "  123456.800");
    EXPECT_EQ(fixed_text(16777216.0f, 12, 1), "  16777220.0");
}

// The fast rendering agrees with the exact reference on hand-picked hard values and their
// neighbours: both ends of the form switch, 8th-digit ties, carries, subnormals, extremes.
TEST(FormatReal, MatchesExactReferenceAtBoundaries) {
    std::vector<float> seeds = {1.0f, 1.0e7f, 0.1f, 0.999f, 0.01f, 12345665.0f, FLT_MAX, FLT_MIN,
                                FLT_TRUE_MIN, 4.76837158e-7f, 1.0e-10f, 5.0e-39f, 1.0e11f};
    for (int k = 128; k < 256; ++k) seeds.push_back(static_cast<float>(k) / 128.0f);
    for (float seed : seeds) {
        float below = seed;
        float above = seed;
        for (int step = 0; step < 40; ++step) {
            expect_same_as_reference(below);
            expect_same_as_reference(-above);
            below = std::nextafter(below, 0.0f);
            above = std::nextafter(above, INFINITY);
        }
    }
    for (uint32_t bits = 0; bits < 2000; ++bits) expect_same_as_reference(float_from_bits(bits));
}

// Random floats over the whole range and the ranges the program writes most, and decimal
// ties of the 8th digit (x.xxxxxx5 times a power of ten) with their float neighbours.
TEST(FormatReal, MatchesExactReferenceOnRandomValues) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<uint32_t> any_bits;
    std::uniform_real_distribution<float> near_one(-20.0f, 20.0f);
    std::uniform_real_distribution<float> near_switch(5.0e6f, 2.0e7f);
    std::uniform_int_distribution<int32_t> mantissa(1000000, 9999999);
    std::uniform_int_distribution<int32_t> power(-44, 38);
    for (int round = 0; round < random_rounds && !HasFatalFailure(); ++round) {
        expect_same_as_reference(float_from_bits(any_bits(random)));
        expect_same_as_reference(near_one(random));
        expect_same_as_reference(near_switch(random));
        std::string tie = std::to_string(mantissa(random)) + "5e" + std::to_string(power(random));
        float value = std::strtof(tie.c_str(), nullptr);
        expect_same_as_reference(std::nextafter(value, 0.0f));
        expect_same_as_reference(value);
    }
}
