// Text for the SVG map: UTF-8 escaped for XML with U+FFFD for bytes that are no UTF-8
// character and for every character XML 1.0 forbids or discourages (is_replaced_in_text_outputs),
// and labels with their ^{...}/_{...} markup as <text> elements holding
// <tspan>s.
#pragma once

#include <string>
#include <string_view>

#include "maps/page/page.hpp"

// `text` with & < > " ' escaped, every byte that is no UTF-8 character made U+FFFD and every
// control character (but the tab), U+FFFE and U+FFFF made one U+FFFD each.
std::string xml_escaped(std::string_view text);

// A number as the shortest decimal that reads back to the same single-precision value.
std::string svg_number(float value);

// One <text> element of a text of the page, each segment after the first a raised or lowered
// <tspan> as the page model sets it. Page y grows upward; the element is placed in SVG
// coordinates (y measured down from the page top).
std::string svg_label(const page_text& text);

// One <text> element of plain text at page point (x, y).
std::string svg_plain_text(float x, float y, float size, std::string_view text);
