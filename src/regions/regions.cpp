#include "regions.hpp"

void search_vertices() {}
void report_regions() {}
