#include "run/folder_claim.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "run/recovery_messages.h"
#include "support/temp_dir.h"

namespace pontexa::run {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteFile;

std::string RefusalOf(const fs::path& folder, HoldKind kind) {
  try {
    FolderClaim::Take(folder, kind);
  } catch (const ClaimRefused& refused) {
    return refused.what();
  }
  return "";
}

TEST(FolderClaim, ConflictingClaimsAreRefusedNamingTheHoldersProcessAndMachine) {
  TempDir dir;
  const std::string held_by = messages::FolderInUse(
      std::to_string(Env::System().ThisProcess()), Env::System().HostName(), dir.path().string());
  struct Case {
    HoldKind held, asked;
    bool refused;
    const char* refusal;  // "" when the holder is named
  } cases[] = {
      {HoldKind::kExclusive, HoldKind::kExclusive, true, ""},
      {HoldKind::kExclusive, HoldKind::kShared, true, ""},
      // A shared holder writes nothing: it cannot be named.
      {HoldKind::kShared, HoldKind::kExclusive, true, "desconocido"},
      {HoldKind::kShared, HoldKind::kShared, false, ""},
  };
  for (const Case& c : cases) {
    fs::remove(dir / kClaimFileName);
    const FolderClaim held = FolderClaim::Take(dir.path(), c.held);
    ASSERT_TRUE(held.held());
    EXPECT_EQ(held.exclusive(), c.held == HoldKind::kExclusive);
    const std::string refusal = RefusalOf(dir.path(), c.asked);
    if (!c.refused) {
      EXPECT_EQ(refusal, "");
    } else if (*c.refusal == '\0') {
      EXPECT_EQ(refusal, held_by);
    } else {
      EXPECT_EQ(refusal, messages::FolderInUse("desconocido", "desconocido", dir.path().string()));
    }
  }
  // Let go, the folder is free again.
  EXPECT_EQ(RefusalOf(dir.path(), HoldKind::kExclusive), "");
}

// A claim is a lock of its process: killed outright, it leaves nothing that
// blocks the next run.
TEST(FolderClaim, GoesWithItsProcessWhenKilled) {
  TempDir dir;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    const FolderClaim claim = FolderClaim::Take(dir.path(), HoldKind::kExclusive);
    (void)!write(ready[1], "x", 1);
    for (;;) pause();
  }
  close(ready[1]);
  char byte;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  close(ready[0]);
  EXPECT_EQ(RefusalOf(dir.path(), HoldKind::kShared),
            messages::FolderInUse(std::to_string(child), Env::System().HostName(),
                                  dir.path().string()));
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  const FolderClaim next = FolderClaim::Take(dir.path(), HoldKind::kExclusive);
  EXPECT_TRUE(next.exclusive());
}

TEST(FolderClaim, LockFileThatIsNotAPlainFileIsRefusedWithoutWaiting) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / kClaimFileName).c_str(), 0600), 0);
  const std::string path = (dir / kClaimFileName).string();
  try {
    FolderClaim::Take(dir.path(), HoldKind::kExclusive);
    ADD_FAILURE() << "a pipe was taken for a lock file";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()),
              messages::CannotUseLockFile(path, "No es un archivo normal"));
  }
  fs::remove(dir / kClaimFileName);
  WriteFile(dir / "otro.txt", "del usuario");
  fs::create_symlink(dir / "otro.txt", dir / kClaimFileName);
  EXPECT_THROW(FolderClaim::Take(dir.path(), HoldKind::kShared), Error);
  EXPECT_EQ(testing::ReadFile(dir / "otro.txt"), "del usuario");
}

TEST(FolderClaim, FolderThatDoesNotExistGivesAClaimHoldingNothing) {
  TempDir dir;
  const FolderClaim claim = FolderClaim::Take(dir / "falta", HoldKind::kExclusive);
  EXPECT_FALSE(claim.held());
  EXPECT_FALSE(fs::exists(dir / "falta"));
}

TEST(ExchangeFileClaim, SecondSaveOfOneFileIsRefused) {
  TempDir dir;
  WriteFile(dir / "instituto.xml", "<document/>");
  const ExchangeFileClaim first = ExchangeFileClaim::Take(dir / "instituto.xml");
  EXPECT_TRUE(first.held());
  try {
    ExchangeFileClaim::Take(dir / "instituto.xml");
    ADD_FAILURE() << "two claims on one exchange file";
  } catch (const ClaimRefused& refused) {
    EXPECT_EQ(std::string(refused.what()),
              messages::ExchangeFileInUse((dir / "instituto.xml").string()));
  }
  EXPECT_FALSE(ExchangeFileClaim::TryTake(dir / "instituto.xml").held());
  // A file that is not there is for the load to refuse.
  EXPECT_FALSE(ExchangeFileClaim::Take(dir / "falta.xml").held());
}

}  // namespace
}  // namespace pontexa::run
