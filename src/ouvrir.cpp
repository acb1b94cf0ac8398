#include "ouvrir.hpp"

void read_input() {}
