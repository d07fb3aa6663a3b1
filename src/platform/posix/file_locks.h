#pragma once

#include <sys/types.h>

#include <optional>

#include "platform/env.h"

namespace pontexa::posix {

// Holds an open file against every other open file, without waiting: an flock
// and a record lock over the whole range (an open-file-description lock, so it
// belongs to this handle and not to the process). Programs asking for either
// kind of lock are then refused: all of them for an exclusive hold, writers for
// a shared one. A file opened for reading only gets a read record lock.
// False, holding nothing, when another open file holds a conflicting lock; a
// file system that cannot lock leaves the file unlocked and gives true.
bool TryHoldFile(int fd, HoldKind kind);

// True when another open file holds an flock on the file. Takes and drops an
// exclusive flock on fd, which must not hold one of its own.
bool FlockHeldElsewhere(int fd);

// A record lock (fcntl or lockf) of any kind at any offset that another open
// file holds on the file: the process that holds it, or 0 when the lock
// belongs to an open file description rather than to a process. Locks held
// through fd itself do not count. The probe asks for a write lock up to the
// last possible offset: database engines lock single bytes far past the end of
// their files, and a probe for a read lock would miss shared locks.
std::optional<pid_t> RecordLockHolder(int fd);

}  // namespace pontexa::posix
