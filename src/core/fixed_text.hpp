// Fixed-length texts, as the run state and the record layer hold them: character arrays of
// a set length, blank-padded on the right, never NUL-terminated. A text's trailing blanks
// are part of it when it is written as a record item, and dropped where it is used as a
// name (a file name, a string on the map, a quoted name in a message).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

using text20 = std::array<char, 20>;
using text40 = std::array<char, 40>;

// Fills a fixed text with `value` followed by blanks (value is cut to the text's length).
void set_text(char* text, int32_t length, const char* value);

template <std::size_t N>
void set_text(std::array<char, N>& text, const char* value) {
    set_text(text.data(), static_cast<int32_t>(N), value);
}

// The same with every byte of `value`, a NUL byte too.
template <std::size_t N>
void set_text(std::array<char, N>& text, std::string_view value) {
    text.fill(' ');
    value.copy(text.data(), N);
}

// Length of a fixed text without its trailing blanks.
int32_t trimmed_length(const char* text, int32_t length);

template <std::size_t N>
int32_t trimmed_length(const std::array<char, N>& text) {
    return trimmed_length(text.data(), static_cast<int32_t>(N));
}

// The text without its trailing blanks: "map1.ps" from "map1.ps" and 13 blanks; as a view of
// the text, or as a string of its own.
template <std::size_t N>
std::string_view trimmed_view(const std::array<char, N>& text) {
    return std::string_view(text.data(), static_cast<std::size_t>(trimmed_length(text)));
}
template <std::size_t N>
std::string trimmed_text(const std::array<char, N>& text) {
    return std::string(trimmed_view(text));
}
