// The undo history of the open document. Each step keeps a copy of the document from the other side of
// the change (pixel buffers shared with the document until one of them writes, so a step costs about a
// kilobyte per frame plus the pixels the change really made new). Undo and redo swap the kept copy with
// the document in place, so every view keeps its pointer to the one Animation.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "model/animation.h"

namespace lw::app {

// The default byte budget of the history: 1 GiB.
constexpr uint64_t kDefaultHistoryBudget = uint64_t{1} << 30;

class UndoHistory {
 public:
  // Forgets every step; the document as it is now counts as saved when savedNow, else as changed.
  void Clear(bool savedNow);

  // Records a change: `before` is the document before it, `selectedBefore` the frame then selected. A
  // change with the same non-zero merge key as the step on top, with nothing undone, redone or saved in
  // between, joins that step (typing into one field makes one step). Drops the oldest steps beyond the
  // budget.
  void Push(const std::string& name, AnimationPtr before, int selectedBefore, int64_t mergeKey,
            const Animation& current);

  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  std::string UndoName() const { return undo_.empty() ? std::string() : undo_.back().name; }
  std::string RedoName() const { return redo_.empty() ? std::string() : redo_.back().name; }
  size_t UndoCount() const { return undo_.size(); }
  size_t RedoCount() const { return redo_.size(); }

  // Swaps the document with the state before (after) the last step; gives the frame index to select, or
  // nothing when there is no step.
  std::optional<int> Undo(Animation& doc, int selectedNow);
  std::optional<int> Redo(Animation& doc, int selectedNow);

  // The saved point: the document as it is now was just saved; whether it is that state again.
  void MarkSaved();
  bool AtSavedPoint() const { return current_ == saved_; }
  // The document changed outside the history (a file added while opening): no step leads back to a
  // saved state.
  void ForgetSavedPoint() { saved_ = kNoState; }
  // Ends merging into the top step (another field, a new selection).
  void Seal() { mergeOpen_ = false; }

  void SetBudget(uint64_t bytes);
  uint64_t Budget() const { return budget_; }
  // The bytes the steps hold that the document does not share: their frames' records and colour
  // tables, and the pixel buffers and masks no newer state holds.
  uint64_t HeldBytes(const Animation& current) const;

 private:
  static constexpr int64_t kNoState = -1;
  struct Step {
    std::string name;
    AnimationPtr other;  // the document on the other side of the step
    int selected = -1;   // the frame selected in that state
    int64_t state = 0;   // the id of that state
    int64_t mergeKey = 0;
  };
  void Trim(const Animation& current);
  // Each step's own bytes, undo steps first (oldest first), then redo steps (the next one last).
  std::vector<uint64_t> StepBytes(const Animation& current) const;
  static std::optional<int> SwapIn(std::deque<Step>& from, std::deque<Step>& to, Animation& doc,
                                   int selectedNow, int64_t& current);

  std::deque<Step> undo_;  // oldest first
  std::deque<Step> redo_;  // the next redo at the back
  int64_t current_ = 0;
  int64_t saved_ = 0;
  int64_t nextState_ = 1;
  bool mergeOpen_ = false;
  uint64_t budget_ = kDefaultHistoryBudget;
};

}  // namespace lw::app
