// Faults of the file system, injected into the calls the record layer and the folder lock
// make, for whole runs inside a test program: a test program linked with
// phasemap_file_system_faults has its calls to renameat, renameat2, linkat and flock go
// through here (the linker's --wrap), and the faults set below decide which of them fail.
#pragma once

struct file_system_faults {
    bool no_hard_links;     // linkat fails with EPERM, as on FAT
    bool no_name_exchange;  // renameat2 with RENAME_EXCHANGE fails with EINVAL, as on FAT
    // Renames of any kind, counted from 1 since the faults were set: those from
    // failing_rename on, failing_renames of them, fail with EIO (0: none).
    int failing_rename;
    int failing_renames;
    int flock_error;  // flock fails with this errno (0: it works)
};

// Sets the faults and starts the count of renames afresh; {} for none.
void set_file_system_faults(const file_system_faults& faults);
