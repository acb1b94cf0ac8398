#include "core/fixed_text.hpp"

void set_text(char* text, int32_t length, const char* value) {
    int32_t i = 0;
    for (; i < length && value[i] != '\0'; ++i) text[i] = value[i];
    for (; i < length; ++i) text[i] = ' ';
}

int32_t trimmed_length(const char* text, int32_t length) {
    while (length > 0 && text[length - 1] == ' ') --length;
    return length;
}
