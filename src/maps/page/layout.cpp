// lay_out_page: the page model worked out step by step, each step from the run state and
// the steps before it (the page geometry first, which every later step maps through).
#include "maps/page/internals.hpp"
#include "maps/page/page.hpp"

namespace {

// The free labels, over every line.
void lay_out_labels() {
    page_layout& page = run.page;
    page.label_count = run.label_count;
    for (int32_t i = 0; i < run.label_count; ++i) {
        const label_record& label = run.labels[i];
        page.labels[i] =
            place_text({page_x(label.x), page_y(label.y)}, label.label_size, label.text);
    }
}

}  // namespace

void lay_out_page(title_symbol symbol) {
    lay_out_geometry();
    lay_out_regions();
    lay_out_axes();
    run.page.titles.symbol = symbol;
    lay_out_scales();
    lay_out_lines();
    lay_out_labels();
}
