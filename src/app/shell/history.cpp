#include "app/shell/history.h"

#include <unordered_set>

namespace lw::app {
namespace {

// What the buffers of one state add to those already counted.
class HeldCounter {
 public:
  uint64_t Add(const Animation& a) {
    uint64_t bytes = sizeof(Animation);
    if (a.globalPalette) bytes += sizeof(Palette);
    for (const GifBlock* b = a.head ? a.head->next : nullptr; b; b = b->next) {
      if (const ExtensionBlock* e = AsExtension(b)) {
        bytes += sizeof(ExtensionBlock) + e->subBlocks.capacity();
        continue;
      }
      const Frame* f = AsFrame(b);
      if (!f) continue;
      bytes += sizeof(Frame);
      if (f->localPalette) bytes += sizeof(Palette);
      if (f->bitmap) {
        bytes += sizeof(FrameBitmap);
        if (seen_.insert(f->bitmap->Bits()).second) bytes += f->bitmap->ByteSize();
      }
      if (f->mask && seen_.insert(f->mask->Bits()).second)
        bytes += static_cast<uint64_t>(f->mask->Stride()) * static_cast<uint64_t>(f->mask->Height());
    }
    return bytes;
  }

 private:
  std::unordered_set<const void*> seen_;
};

}  // namespace

void UndoHistory::Clear(bool savedNow) {
  undo_.clear();
  redo_.clear();
  current_ = nextState_++;
  saved_ = savedNow ? current_ : kNoState;
  mergeOpen_ = false;
}

void UndoHistory::Push(const std::string& name, AnimationPtr before, int selectedBefore, int64_t mergeKey,
                       const Animation& current) {
  if (!before) return;
  redo_.clear();
  bool merge = mergeOpen_ && mergeKey != 0 && !undo_.empty() && undo_.back().mergeKey == mergeKey;
  if (!merge) {
    undo_.push_back(Step{name, std::move(before), selectedBefore, current_, mergeKey});
  }
  // A merged change keeps the older copy: the step goes back to before the first keystroke.
  current_ = nextState_++;
  mergeOpen_ = mergeKey != 0;
  Trim(current);
}

std::optional<int> UndoHistory::SwapIn(std::deque<Step>& from, std::deque<Step>& to, Animation& doc,
                                       int selectedNow, int64_t& current) {
  if (from.empty()) return std::nullopt;
  Step step = std::move(from.back());
  from.pop_back();
  SwapAnimations(doc, *step.other);
  int selected = step.selected;
  step.selected = selectedNow;
  std::swap(step.state, current);
  to.push_back(std::move(step));
  return selected;
}

std::optional<int> UndoHistory::Undo(Animation& doc, int selectedNow) {
  mergeOpen_ = false;
  return SwapIn(undo_, redo_, doc, selectedNow, current_);
}

std::optional<int> UndoHistory::Redo(Animation& doc, int selectedNow) {
  mergeOpen_ = false;
  return SwapIn(redo_, undo_, doc, selectedNow, current_);
}

void UndoHistory::MarkSaved() {
  saved_ = current_;
  mergeOpen_ = false;
}

void UndoHistory::SetBudget(uint64_t bytes) {
  budget_ = bytes;
}

std::vector<uint64_t> UndoHistory::StepBytes(const Animation& current) const {
  // The document counts first: what it shares costs the history nothing. Then the states nearest to it,
  // so that the oldest step is charged with what only it holds.
  HeldCounter counter;
  counter.Add(current);
  std::vector<uint64_t> bytes(undo_.size() + redo_.size());
  for (size_t i = redo_.size(); i-- > 0;) bytes[undo_.size() + i] = counter.Add(*redo_[i].other);
  for (size_t i = undo_.size(); i-- > 0;) bytes[i] = counter.Add(*undo_[i].other);
  return bytes;
}

uint64_t UndoHistory::HeldBytes(const Animation& current) const {
  uint64_t total = 0;
  for (uint64_t b : StepBytes(current)) total += b;
  return total;
}

void UndoHistory::Trim(const Animation& current) {
  std::vector<uint64_t> bytes = StepBytes(current);
  uint64_t total = 0;
  for (uint64_t b : bytes) total += b;
  // The last step always stays: it holds at most one document, which fitted in memory already.
  size_t dropped = 0;
  while (total > budget_ && undo_.size() > 1) {
    total -= bytes[dropped++];
    undo_.pop_front();
  }
}

}  // namespace lw::app
