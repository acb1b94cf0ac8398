// Inside the record layer: the folders of the output files, opened beneath the run's folder
// (folders.cpp).
#pragma once

#include <string_view>

// The folder part of an output file name opened beneath the run's folder (O_PATH), never
// through a symbolic link that leads out of it; "" is the run's folder itself. -1 with errno
// EXDEV for a folder outside. An absolute folder, which the program's own code may name but
// the input reader never passes on, is opened as it stands. Where the kernel cannot resolve
// beneath a folder itself (no openat2, or a container that refuses it), the folder is opened
// as named and then walked up, through "..", until the run's folder (beneath) or the root
// (outside) is met.
int open_folder_beneath(std::string_view folder);
int open_folder_beneath_by_walking(int base, const char* folder);
