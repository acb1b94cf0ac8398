// Output side of the record layer (placeholder until the layer is written).
#include "records.hpp"

record_item item_int(int32_t value) { return {item_kind::integer, value, 0.0f, nullptr, 0, 0}; }
record_item item_int(int32_t value, int32_t runtime_width) { return {item_kind::integer, value, 0.0f, nullptr, 0, runtime_width}; }
record_item item_real(float value) { return {item_kind::real, 0, value, nullptr, 0, 0}; }
record_item item_text(const char* text, int32_t length) { return {item_kind::text, 0, 0.0f, text, length, 0}; }
record_item item_text(std::string_view text) { return item_text(text.data(), static_cast<int32_t>(text.size())); }
void write_list(int32_t, std::initializer_list<record_item>) {}
void write_formatted(int32_t, std::string_view, std::initializer_list<record_item>) {}
void write_internal(text40& buffer, std::string_view, std::initializer_list<record_item>) { buffer.fill(' '); }
void write_raw_record(int32_t, std::string_view) {}
int32_t format_real_list(float, char*) { return 0; }
int32_t format_real_fixed(float, int32_t, int32_t, char*) { return 0; }
void open_output_unit(int32_t, const char*) {}
bool is_unit_open(int32_t) { return false; }
void flush_output_units() {}
void close_all_units() {}
