// Input side of the record layer (placeholder until the layer is written).
#include "records.hpp"

input_item in_int(int32_t& target, const char* name) { return {item_kind::integer, &target, 0, name}; }
input_item in_real(float& target, const char* name) { return {item_kind::real, &target, 0, name}; }
input_item in_text(char* target, int32_t length, const char* name) { return {item_kind::text, target, length, name}; }
void open_input_unit(const char*) {}
void read_list(std::string_view, std::initializer_list<input_item>) {}
void read_keyword_a8(text20& keyword) { keyword.fill(' '); }
void read_keyword_a6_i20(text20& keyword, int32_t& count, std::string_view) { keyword.fill(' '); count = 0; }
void backspace_input() {}
int32_t input_line_number() { return 0; }
