#include "to_gedu/staffing_by_slot.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/error.h"
#include "platform/messages.h"

namespace pontexa::to_gedu {

namespace {

constexpr std::size_t kPairBytes = sizeof(StaffingBySlot::Staffing);
constexpr std::size_t kReadBlock = 64 * 1024;  // pairs read back at a time

}  // namespace

StaffingBySlot::StaffingBySlot(const std::vector<std::uint32_t>& most_per_slot,
                               const std::filesystem::path& scratch_folder, Limits limits)
    : start_(most_per_slot.size() + 1, 0), added_(most_per_slot.size(), 0) {
  for (std::size_t s = 0; s < most_per_slot.size(); ++s) {
    start_[s + 1] = start_[s] + most_per_slot[s];
  }
  const std::uint64_t total = start_.back();
  const std::size_t slots = most_per_slot.size();
  // A buffer of a few pairs per slot would write nearly pair by pair: with
  // that many slots the pairs stay in memory, as they do when few.
  if (total > limits.in_memory && slots > 0 && limits.buffered / slots >= 16) {
    Env& env = Env::Current();
    const std::string prefix = "~pontexa-" + std::to_string(env.ThisProcess()) + "-horario-";
    std::filesystem::path path;
    if (env.CreateTemporary(scratch_folder, prefix, &file_, &path).ok()) {
      env.Remove(path);
      scratch_ = std::move(path);
      per_slot_ = limits.buffered / slots;
      pairs_.resize(per_slot_ * slots);
      flushed_.assign(slots, 0);
      return;
    }
    file_.reset();
  }
  pairs_.resize(total);
}

void StaffingBySlot::Add(std::uint32_t slot, Staffing staffing) {
  if (added_[slot] == start_[slot + 1] - start_[slot]) return;
  if (!file_) {
    pairs_[start_[slot] + added_[slot]++] = staffing;
    return;
  }
  if (added_[slot] - flushed_[slot] == per_slot_) Flush(slot);
  pairs_[slot * per_slot_ + (added_[slot]++ - flushed_[slot])] = staffing;
}

void StaffingBySlot::Flush(std::uint32_t slot) {
  const std::size_t count = added_[slot] - flushed_[slot];
  if (count == 0) return;
  const char* bytes = reinterpret_cast<const char*>(&pairs_[slot * per_slot_]);
  const std::uint64_t offset = (start_[slot] + flushed_[slot]) * kPairBytes;
  if (Status status = file_->WriteAt(offset, std::string_view(bytes, count * kPairBytes));
      !status) {
    throw Error(messages::CannotWrite(scratch_, status.text()));
  }
  flushed_[slot] = added_[slot];
}

std::size_t StaffingBySlot::Read(std::uint32_t slot, std::size_t from) {
  const std::size_t count = std::min<std::size_t>(kReadBlock, added_[slot] - from);
  if (!file_) {
    block_ = &pairs_[start_[slot] + from];
    return count;
  }
  read_.resize(count);
  const std::uint64_t offset = (start_[slot] + from) * kPairBytes;
  std::size_t got = 0;
  Status status =
      file_->ReadAt(offset, reinterpret_cast<char*>(read_.data()), count * kPairBytes, &got);
  if (!status) throw Error(messages::CannotRead(scratch_, status.text()));
  // The file was written whole before it is read: less can only mean it was cut.
  if (got != count * kPairBytes) {
    throw Error(messages::CannotRead(scratch_, "el archivo es más corto de lo que se escribió"));
  }
  block_ = read_.data();
  return count;
}

}  // namespace pontexa::to_gedu
