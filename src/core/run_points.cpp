#include "core/run_points.hpp"

[[gnu::weak]] void pass_run_point(run_point) {}
