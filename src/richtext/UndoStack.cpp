#include "richtext/UndoStack.h"

namespace richtext {

void CUndoStack::Push(UndoStep step) {
    undone_.clear();
    if (!sealed_ && !done_.empty() && Merge(done_.back(), step)) {
        return;
    }
    sealed_ = false;
    done_.push_back(std::move(step));
    while (done_.size() > limit_) {
        done_.pop_front();
    }
}

bool CUndoStack::Merge(UndoStep& last, UndoStep& next) {
    if (last.kind != next.kind || last.after != next.before) {
        return false;
    }
    switch (next.kind) {
    case EditKind::Typing:
        if (next.removedLength != 0 || next.start != last.start + last.insertedLength) {
            return false;
        }
        last.inserted.Replace(last.insertedLength, last.insertedLength, next.inserted);
        last.insertedLength += next.insertedLength;
        break;
    case EditKind::Backspace:
        if (next.insertedLength != 0 || last.insertedLength != 0 ||
            next.start + next.removedLength != last.start) {
            return false;
        }
        next.removed.Replace(next.removedLength, next.removedLength, last.removed);
        last.removed = std::move(next.removed);
        last.removedLength += next.removedLength;
        last.start = next.start;
        break;
    case EditKind::Delete:
        if (next.insertedLength != 0 || last.insertedLength != 0 || next.start != last.start) {
            return false;
        }
        last.removed.Replace(last.removedLength, last.removedLength, next.removed);
        last.removedLength += next.removedLength;
        break;
    default:
        return false;
    }
    last.after = next.after;
    return true;
}

void CUndoStack::Clear() {
    done_.clear();
    undone_.clear();
    sealed_ = true;
}

std::optional<UndoStep> CUndoStack::TakeUndo() {
    if (done_.empty()) {
        return std::nullopt;
    }
    UndoStep step = std::move(done_.back());
    done_.pop_back();
    undone_.push_back(step);
    sealed_ = true;
    return step;
}

std::optional<UndoStep> CUndoStack::TakeRedo() {
    if (undone_.empty()) {
        return std::nullopt;
    }
    UndoStep step = std::move(undone_.back());
    undone_.pop_back();
    done_.push_back(step);
    sealed_ = true;
    return step;
}

} // namespace richtext
