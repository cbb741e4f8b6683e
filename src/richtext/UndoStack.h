#pragma once
// Undo and redo of edits. Each step records the range it replaced and both versions of it;
// typing, backspacing and deleting each coalesce into one step until something else happens.
#include "richtext/Document.h"

#include <cstddef>
#include <deque>
#include <optional>

namespace richtext {

struct Selection {
    std::size_t anchor = 0;
    std::size_t active = 0;
    std::size_t Start() const { return anchor < active ? anchor : active; }
    std::size_t End() const { return anchor < active ? active : anchor; }
    bool Empty() const { return anchor == active; }
    bool operator==(const Selection&) const = default;
};

enum class EditKind { Other, Typing, Backspace, Delete };

struct UndoStep {
    EditKind kind = EditKind::Other;
    std::size_t start = 0;
    CDocument removed;
    CDocument inserted;
    std::size_t removedLength = 0;
    std::size_t insertedLength = 0;
    Selection before;
    Selection after;
};

class CUndoStack {
public:
    explicit CUndoStack(std::size_t limit = 100) : limit_(limit) {}

    void Push(UndoStep step);
    // The next edit starts a step of its own (the caret moved, the focus left, ...).
    void Seal() { sealed_ = true; }
    void Clear();

    bool CanUndo() const { return !done_.empty(); }
    bool CanRedo() const { return !undone_.empty(); }
    // The step to reverse or repeat; the caller applies it.
    std::optional<UndoStep> TakeUndo();
    std::optional<UndoStep> TakeRedo();

private:
    bool Merge(UndoStep& last, UndoStep& next);

    std::deque<UndoStep> done_;
    std::deque<UndoStep> undone_;
    std::size_t limit_;
    bool sealed_ = true;
};

} // namespace richtext
