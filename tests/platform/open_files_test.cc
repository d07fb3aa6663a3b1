#include "platform/posix/proc_open_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace pontexa::posix {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteFile;

FileInfo IdOf(const fs::path& path) {
  FileInfo info;
  if (!Env::System().Info(path, &info)) throw std::runtime_error("stat " + path.string());
  return info;
}

// A made-up /proc: each process a folder with its comm and fd links.
class FakeProc {
 public:
  void AddProcess(const std::string& pid, const std::string& comm,
                  const std::vector<fs::path>& open) {
    const fs::path folder = root_ / pid;
    fs::create_directories(folder / "fd");
    WriteFile(folder / "comm", comm);
    int fd = 3;
    for (const fs::path& file : open)
      fs::create_symlink(file, folder / "fd" / std::to_string(fd++));
  }
  const fs::path& root() const { return root_.path(); }

 private:
  TempDir root_;
};

TEST(OpenFileScan, FindsOtherProcessesByDeviceAndInodeAndSkipsThisOne) {
  TempDir files;
  const fs::path held = files / "ASIGNOMT.DBF", mine = files / "PROFT.DBF",
                 free = files / "AULAT.DBF", gone = files / "borrado";
  for (const fs::path& file : {held, mine, free}) WriteFile(file, "x");
  FakeProc proc;
  proc.AddProcess("4242", "hold.exe\n", {fs::path("/dev/null"), held, gone});
  proc.AddProcess(std::to_string(getpid()), "pontexa\n", {mine, free});
  proc.AddProcess("self", "pontexa\n", {free});  // not a process id
  fs::create_directories(proc.root() / "4343");  // no fd folder to read
  WriteFile(proc.root() / "4343" / "comm", "ajeno\n");

  const ProcOpenFileScan scan(proc.root());
  const std::optional<OpenFileScan::Holder> holder = scan.HolderOf(IdOf(held));
  ASSERT_TRUE(holder.has_value());
  EXPECT_EQ(holder->process, 4242);
  EXPECT_EQ(holder->program, "hold.exe");
  // The same file reached through a hard link is the same file.
  fs::create_hard_link(held, files / "otro.dbf");
  EXPECT_TRUE(scan.HolderOf(IdOf(files / "otro.dbf")));
  for (const fs::path& file : {mine, free}) {
    EXPECT_FALSE(scan.HolderOf(IdOf(file))) << file;
  }
}

// Between the pass and the question the other process closed the file, and
// its inode may now belong to a new table: only a descriptor that still
// reaches the file counts.
TEST(OpenFileScan, FileClosedSinceThePassIsNotReported) {
  TempDir files;
  const fs::path closed = files / "ASIGT.DBF", kept = files / "GRUPOST.DBF";
  for (const fs::path& file : {closed, kept}) WriteFile(file, "x");
  FakeProc proc;
  proc.AddProcess("4242", "hold.exe\n", {closed});
  proc.AddProcess("4343", "otro\n", {closed, kept});
  const ProcOpenFileScan scan(proc.root());
  ASSERT_TRUE(scan.HolderOf(IdOf(kept)));  // the pass is made

  fs::remove(proc.root() / "4242" / "fd" / "3");  // closed
  fs::remove(proc.root() / "4343" / "fd" / "3");  // closed, the number reused for another file
  fs::create_symlink(kept, proc.root() / "4343" / "fd" / "3");
  EXPECT_FALSE(scan.HolderOf(IdOf(closed)));
  const std::optional<OpenFileScan::Holder> holder = scan.HolderOf(IdOf(kept));
  ASSERT_TRUE(holder);
  EXPECT_EQ(holder->program, "otro");
}

TEST(ProgramName, IsTheCommEntryMadeSafeForAMessage) {
  struct Case {
    const char* comm;
    const char* shown;
  } cases[] = {
      {"wineserver\n", "wineserver"},
      {"hold.exe", "hold.exe"},
      {"programación\n", "programación"},
      {"a\tb\x7f", "a?b?"},
      {"corte\xc3", "corte?"},  // a letter cut by the 15-byte limit
      {"\xff\xfe", "??"},
  };
  FakeProc proc;
  int pid = 100;
  for (const Case& c : cases) {
    proc.AddProcess(std::to_string(++pid), c.comm, {});
    EXPECT_EQ(ProgramName(pid, proc.root()), c.shown) << c.comm;
  }
  EXPECT_EQ(ProgramName(99999, proc.root()), "");
}

}  // namespace
}  // namespace pontexa::posix
