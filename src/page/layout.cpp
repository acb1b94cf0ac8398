// lay_out_page: the page model worked out step by step, each step from the run state and
// the steps before it.
#include "page/internals.hpp"
#include "page/page.hpp"

void lay_out_page() {
    lay_out_geometry();
    lay_out_axes();
    lay_out_scales();
}
