#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/env.h"

namespace pontexa::to_gedu {

// The teacher and room (as code numbers) of each placed lesson, gathered slot
// by slot in the order added, for the check that goes over one slot at a time.
// A timetable of a few hundred thousand lessons is kept in memory; beyond
// that, the pairs go to a scratch file in the table folder (its name removed
// at once, so that nothing is left however the run ends) through a small
// buffer per slot, and memory no longer grows with the timetable. Without a
// scratch file (a folder that cannot be written) everything stays in memory.
class StaffingBySlot {
 public:
  struct Staffing {
    std::uint32_t teacher, room;
    bool operator==(const Staffing&) const = default;
  };
  // How many pairs may stay in memory, and how many the buffers hold in all.
  struct Limits {
    std::size_t in_memory = 256 * 1024;
    std::size_t buffered = 64 * 1024;
  };

  // `most_per_slot[s]`: at most how many pairs slot s receives.
  StaffingBySlot(const std::vector<std::uint32_t>& most_per_slot,
                 const std::filesystem::path& scratch_folder, Limits limits);
  StaffingBySlot(const std::vector<std::uint32_t>& most_per_slot,
                 const std::filesystem::path& scratch_folder)
      : StaffingBySlot(most_per_slot, scratch_folder, Limits()) {}

  // Adds a pair to the slot, beyond what it receives at most: ignored.
  // Raises Error when the scratch file cannot be written.
  void Add(std::uint32_t slot, Staffing staffing);
  // Whether the pairs went to a scratch file.
  bool spilled() const { return file_ != nullptr; }

  // Calls `each(Staffing)` for every pair of the slot, in the order added.
  // Raises Error when the scratch file cannot be read.
  template <class Each>
  void ForEachIn(std::uint32_t slot, Each each) {
    if (file_) Flush(slot);
    std::size_t done = 0;
    while (done < added_[slot]) {
      const std::size_t count = Read(slot, done);
      for (std::size_t i = 0; i < count; ++i) each(block_[i]);
      done += count;
    }
  }

 private:
  void Flush(std::uint32_t slot);
  // Brings up to a block of the slot's pairs, from its `from`-th, into
  // block_ (in memory: points block_ at them); gives how many.
  std::size_t Read(std::uint32_t slot, std::size_t from);

  std::vector<std::uint64_t> start_;  // by slot: the position of its first pair
  std::vector<std::uint32_t> added_;  // by slot
  std::vector<Staffing> pairs_;       // in memory: all of them; spilled: the buffers
  std::size_t per_slot_ = 0;          // spilled: each slot's share of pairs_
  std::vector<std::uint32_t> flushed_;
  std::unique_ptr<File> file_;
  std::filesystem::path scratch_;
  std::vector<Staffing> read_;  // spilled: what Read brought
  const Staffing* block_ = nullptr;
};

}  // namespace pontexa::to_gedu
