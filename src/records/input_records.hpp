// Inside the record layer: the records of input.txt as the read statements take them
// (input.cpp), and the conversions of value texts (value_text.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "records/records.hpp"
#include "records/statements.hpp"

// One record without its end characters, its line and where the following record begins.
struct input_record {
    std::string_view text;
    int32_t line;
    std::size_t next_offset;
    bool exists;  // false at the end of the file
};

// Starts a read statement at the next record and remembers it for backspace_input.
input_record begin_statement();

// The record after `record`, for a statement that runs on over records.
input_record record_after(const input_record& record);

// Ends a read statement: the rest of `record` is skipped.
void finish_statement(const input_record& record);

[[noreturn]] void stop_on_end_of_file(int32_t line, const std::string& what_was_read);

enum class conversion { done, malformed, out_of_range };

// "+12", "-7", "42": an optional sign and decimal digits, within 32 bits.
conversion convert_integer(std::string_view text, int32_t& value);

// "1.5", "-7", ".5", "2.", "1.5e3", "1.5D-3", "1.5-3" (= 0.0015), "+4E+2": converted from the
// decimal text straight to the nearest single-precision value. Anything else (inf, nan,
// "1e", "1.5-", ".") is malformed; a value too large for single precision is out of range,
// one too small becomes a subnormal or zero.
conversion convert_real(std::string_view text, float& value);
