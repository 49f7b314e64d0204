#include "Lines.h"

namespace korvel {

void TLines::clear() {
  held_ = {};
  parts_.clear();
  size_ = 0;
  allHeld_ = true;
}

TData* TLines::HeldSpace(std::size_t count, const std::function<void()>& poll) {
  // Growing hundreds of megabytes takes long on a busy machine: in steps,
  // so that a cancel still gets through.
  constexpr std::size_t kStep = std::size_t{1} << 20;
  held_.reserve(count);
  while (held_.size() < count) {
    if (poll) poll();
    held_.resize(std::min(count, held_.size() + kStep));
  }
  return held_.data();
}

void TLines::AddHeld(int32_t pair, std::size_t first, std::size_t count) {
  if (count == 0) return;
  TPart p;
  p.First = size_;
  p.Count = count;
  p.Pair = pair;
  p.HeldFirst = first;
  allHeld_ = allHeld_ && first == size_;
  parts_.push_back(std::move(p));
  size_ += count;
}

void TLines::AddCached(int32_t pair, std::shared_ptr<const TCachedCorpus> cached, std::size_t count) {
  if (count == 0) return;
  TPart p;
  p.First = size_;
  p.Count = count;
  p.Pair = pair;
  p.Records = cached->RecordBytes();
  p.En = cached->En().data();
  p.Zh = cached->Zh().data();
  p.Cached = std::move(cached);
  allHeld_ = false;
  parts_.push_back(std::move(p));
  size_ += count;
}

}  // namespace korvel
