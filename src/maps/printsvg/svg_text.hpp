// Text for the SVG map: UTF-8 escaped for XML, and labels with their ^{...}/_{...} markup as
// <text> elements holding <tspan>s.
#pragma once

#include <string>
#include <string_view>

#include "maps/page/page.hpp"

// `text` as UTF-8 for the SVG map (text_for_utf8_output, core/label_glyphs.hpp), with & < > " '
// escaped and the tab written as a character reference (an XML reader turns a tab typed in
// an attribute, a region's data-name, into a blank).
std::string xml_escaped(std::string_view text);

// One <text> element of a text of the page, each segment after the first a raised or lowered
// <tspan> as the page model sets it. Page y grows upward; the element is placed in SVG
// coordinates (y measured down from the page top).
std::string svg_label(const page_text& text);

// One <text> element of plain text at page point (x, y).
std::string svg_plain_text(float x, float y, float size, std::string_view text);

// The same, the text ending at (x, y).
std::string svg_plain_text_ending(float x, float y, float size, std::string_view text);
