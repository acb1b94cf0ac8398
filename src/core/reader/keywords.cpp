#include "core/reader/keywords.hpp"

namespace {

constexpr item_kind surface_items[] = {item_kind::text,    item_kind::integer, item_kind::integer,
                                       item_kind::integer, item_kind::real,    item_kind::real};
constexpr item_kind label_items[] = {item_kind::real, item_kind::real, item_kind::real,
                                     item_kind::text};
constexpr item_kind guide_items[] = {item_kind::real};
constexpr item_kind equi_items[] = {item_kind::integer, item_kind::integer, item_kind::real};
constexpr item_kind equ2_items[] = {item_kind::integer, item_kind::integer, item_kind::real,
                                    item_kind::real,    item_kind::real,    item_kind::real,
                                    item_kind::real};

}  // namespace

const keyword_info keywords[keyword_count] = {
    {keyword::stop, "stop", count_place::none, {}, nullptr, nullptr},
    {keyword::bulk, "bulk", count_place::none, {}, nullptr, nullptr},
    {keyword::bound, "bound", count_place::none, {}, nullptr, nullptr},
    {keyword::surf, "surf", count_place::free_format, surface_items, "surface", "surfaces"},
    {keyword::xbound, "xbound", count_place::columns, guide_items, "value", "values"},
    {keyword::ybound, "ybound", count_place::columns, guide_items, "value", "values"},
    {keyword::text, "text", count_place::free_format, label_items, "label", "labels"},
    {keyword::xaxi, "xaxi", count_place::none, {}, nullptr, nullptr},
    {keyword::yaxi, "yaxi", count_place::none, {}, nullptr, nullptr},
    {keyword::equi, "equi", count_place::free_format, equi_items, "line", "lines"},
    {keyword::equ2, "equ2", count_place::free_format, equ2_items, "line", "lines"},
    {keyword::temp1, "temp1", count_place::none, {}, nullptr, nullptr},
    {keyword::temp2, "temp2", count_place::none, {}, nullptr, nullptr},
    {keyword::shiftx, "shiftx", count_place::none, {}, nullptr, nullptr},
    {keyword::shifty, "shifty", count_place::none, {}, nullptr, nullptr},
    {keyword::output, "output", count_place::none, {}, nullptr, nullptr},
};

const keyword_info* keyword_of_record(std::string_view record) {
    for (const keyword_info& info : keywords)
        if (record.starts_with(info.word)) return &info;
    return nullptr;
}

const keyword_info& info_of(keyword id) { return keywords[static_cast<int32_t>(id)]; }

std::string entry_name(const keyword_info& info) {
    return "the " + std::string(info.word) + " entry";
}
