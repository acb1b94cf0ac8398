#include "core/regions/system.hpp"

#include "core/modules.hpp"
#include "core/numbers.hpp"
#include "records/fatal.hpp"
#include "records/records.hpp"

namespace {

// The matrix whose rows are the three equations, with column `replaced` (0 x, 1 y, 2 g, or
// -1 for none) taken from the right-hand side.
void build_matrix(const float col_x[3], const float col_y[3], const float col_g[3],
                  const float rhs[3], int32_t replaced, float matrix[9]) {
    for (int32_t r = 0; r < 3; ++r) {
        matrix[3 * r + 0] = replaced == 0 ? rhs[r] : col_x[r];
        matrix[3 * r + 1] = replaced == 1 ? rhs[r] : col_y[r];
        matrix[3 * r + 2] = replaced == 2 ? rhs[r] : col_g[r];
    }
}

}  // namespace

float to_single(double value) {
    float stored = 0.0f;
    if (!to_float_if_fits(value, stored))
        stop_run(unit_input, 0,
                 "a plane intersection or region corner lies beyond the range of single-precision "
                 "reals; the surface data or the window are too large");
    return stored;
}

double surface_energy(float x, float y, int32_t row) {
    const double ax = static_cast<double>(run.plane_a[row]) * static_cast<double>(x);
    const double by = static_cast<double>(run.plane_b[row]) * static_cast<double>(y);
    return (ax + by) + static_cast<double>(run.plane_d[row]);
}

double determinant3(const float matrix[9]) {
    // m(r, s): row r, column s, both 1-based.
    auto m = [matrix](int32_t r, int32_t s) {
        return static_cast<double>(matrix[3 * (r - 1) + (s - 1)]);
    };
    const double t1 = (m(3, 2) * m(2, 1) - m(3, 1) * m(2, 2)) * m(1, 3);
    const double t2 = (m(1, 2) * m(3, 1) - m(3, 2) * m(1, 1)) * m(2, 3);
    const double t3 = (m(2, 2) * m(1, 1) - m(1, 2) * m(2, 1)) * m(3, 3);
    return (t1 + t2) + t3;
}

void solve_three_planes(const float col_x[3], const float col_y[3], const float col_g[3],
                        const float rhs[3], float solution[3], float& determinant) {
    float matrix[9];
    build_matrix(col_x, col_y, col_g, rhs, -1, matrix);
    determinant = to_single(determinant3(matrix));
    // The zero test is on the stored value: a determinant that underflows single precision
    // counts as singular, so the divisions below are always by a non-zero number.
    if (determinant == 0.0f) return;
    for (int32_t column = 0; column < 3; ++column) {
        build_matrix(col_x, col_y, col_g, rhs, column, matrix);
        solution[column] = to_single(determinant3(matrix) / static_cast<double>(determinant));
    }
}
