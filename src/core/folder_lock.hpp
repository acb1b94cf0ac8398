// The folder lock: runs in one folder take turns. A run holds an exclusive lock on its
// folder from before it reads input.txt until its outputs are in place, so that two runs
// never mix their files, and a second run waits for the first. The lock creates no file:
// - a lock on the folder itself (flock on the folder opened for reading), wherever the run
//   may list the folder: this one also holds between machines that share the folder;
// - in a folder that some may write to but not list (a drop box, mode 0733), where not
//   every run can have the first, also an abstract UNIX socket named after the folder's
//   device and inode, which one process at a time on a machine can bind and which goes
//   with it.
#pragma once

// What a run holds: set by lock_folder as each descriptor is taken, so that it is complete
// also while the run waits (a host's fork handler closes what it holds in the child).
struct folder_lock {
    int folder_fd;  // the folder opened for reading (locked once the run has the lock), or -1
    int socket_fd;  // the socket (bound to the folder's name once it has it), or -1
};

enum class lock_outcome {
    locked,    // the run holds the lock
    unlocked,  // no lock can be had here; standard error has said why, and the run goes on
    given_up,  // give_up returned true while the run waited: it holds nothing
};

// Takes the lock on `folder` (a descriptor; O_PATH will do), waiting while another run holds
// it: after a second of waiting the run says so on standard error. While it waits,
// `give_up` (when not null) is asked every few milliseconds.
lock_outcome lock_folder(int folder, bool (*give_up)(), folder_lock& lock);

// Lets go of what lock_folder took; `lock` then holds nothing.
void unlock_folder(folder_lock& lock);
