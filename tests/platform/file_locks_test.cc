#include "platform/posix/file_locks.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/held_file.h"
#include "support/temp_dir.h"

namespace pontexa::posix {
namespace {

using testing::HeldFile;
using testing::HoldMode;
using testing::HoldModeName;

class Descriptor {
 public:
  Descriptor(const std::filesystem::path& path, int flags) : fd_(open(path.c_str(), flags)) {
    if (fd_ < 0) throw std::runtime_error("open " + path.string());
  }
  ~Descriptor() { close(fd_); }
  int fd() const { return fd_; }

 private:
  int fd_;
};

// What each probe sees of each way another process holds the file.
TEST(FileLocks, ProbesSeeTheirKindOfLockAndNameTheProcessOfARecordLock) {
  testing::TempDir dir;
  const auto path = dir / "T.DBF";
  testing::WriteFile(path, "0123456789");
  struct Case {
    HoldMode kind;
    bool record_lock;
    bool flock;
  } cases[] = {
      {HoldMode::kWriteLockHighByte, true, false},  {HoldMode::kReadLockWholeFile, true, false},
      {HoldMode::kWriteLockWholeFile, true, false}, {HoldMode::kFlock, false, true},
      {HoldMode::kSharedFlock, false, true},        {HoldMode::kOpenWithoutLock, false, false},
  };
  for (const Case& c : cases) {
    HeldFile held(path, c.kind);
    const Descriptor probe(path, O_RDONLY);
    const std::optional<pid_t> holder = RecordLockHolder(probe.fd());
    EXPECT_EQ(holder.has_value(), c.record_lock) << HoldModeName(c.kind);
    if (holder) EXPECT_GT(*holder, 0) << HoldModeName(c.kind);
    EXPECT_EQ(FlockHeldElsewhere(probe.fd()), c.flock) << HoldModeName(c.kind);
  }
}

// A hold belongs to its open file, not to the process: a second handle of this
// process is kept out too, and the handle that holds sees no lock of others.
TEST(FileLocks, HoldBelongsToItsHandle) {
  testing::TempDir dir;
  const auto path = dir / "T.DBF";
  testing::WriteFile(path, "x");
  const Descriptor first(path, O_RDWR);
  ASSERT_TRUE(TryHoldFile(first.fd(), pontexa::HoldKind::kExclusive));
  EXPECT_FALSE(RecordLockHolder(first.fd()).has_value());

  const Descriptor second(path, O_RDONLY);
  EXPECT_FALSE(TryHoldFile(second.fd(), pontexa::HoldKind::kShared));
  EXPECT_EQ(RecordLockHolder(second.fd()), std::optional<pid_t>(0));  // no process to name
}

// Refused by another program's record lock after the flock was taken: the
// flock goes again, so the failed attempt holds nothing.
TEST(FileLocks, RefusedHoldKeepsNothing) {
  testing::TempDir dir;
  const auto path = dir / "T.DBF";
  testing::WriteFile(path, "x");
  HeldFile held(path, HoldMode::kWriteLockWholeFile);
  const Descriptor attempt(path, O_RDONLY);
  EXPECT_FALSE(TryHoldFile(attempt.fd(), pontexa::HoldKind::kShared));
  const Descriptor other(path, O_RDONLY);
  EXPECT_FALSE(FlockHeldElsewhere(other.fd()));
}

}  // namespace
}  // namespace pontexa::posix
