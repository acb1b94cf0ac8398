#include "system.hpp"

double surface_energy(float, float, int32_t) { return 0.0; }
double determinant3(const float*) { return 0.0; }
void solve_three_planes(const float*, const float*, const float*, const float*, float*, float& determinant) {
    determinant = 0.0f;
}
