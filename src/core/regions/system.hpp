// Numeric kernels of the stability regions: the energy of a surface plane at a point, the
// determinant of a 3x3 matrix and Cramer's rule for three planes. Intermediates are carried
// in double; single precision only where a value is stored. Plane rows are 0-based.
#pragma once

#include <cstdint>

// Energy of plane row `row` (0-based) at (x, y): (a*x + b*y) + d, unrounded.
double surface_energy(float x, float y, int32_t row);

// Determinant of a row-major 3x3 matrix (columns x, y, g), expanded along the g column.
double determinant3(const float matrix[9]);

// Solves col_x[r]*x + col_y[r]*y + col_g[r]*g = rhs[r], r = 0..2. Stores the determinant in
// single precision; when that is zero, returns leaving `solution` untouched. The solution is
// divided by the stored single-precision determinant.
void solve_three_planes(const float col_x[3], const float col_y[3], const float col_g[3],
                        const float rhs[3], float solution[3], float& determinant);

// Rounds a working value to a stored single-precision real. A value beyond the single range
// stops the run (the data are too large for the tables) instead of overflowing.
float to_single(double value);
