#pragma once
// How an open plan keeps the teacher's work: saved versions in the dump folder (written when the
// plan is closed or replaced, and by the autosave while it has unsaved changes), the newest one
// laid over the plan when it opens, and the direct save to the service (save button, Ctrl+S).
// Registered into the plan's and the window's hooks at start-up.
#include <nlohmann/json.hpp>

#include <string>

namespace Plenvo {

class CAutosave;
class CView;
class CViewElement;
class CViewPlenvo;

class CPlanSaving {
public:
    // Once at start-up, on the user-interface thread.
    static void Register();

    // The open plan of a window's tree, if any.
    static CViewPlenvo* FindPlan(CViewElement& root);
    // The file content of a version: the record's four members and every editable cell's value.
    static nlohmann::json VersionFields(CViewPlenvo& plan);
    // Writes a version now. A failure is told to the teacher in a bottom message and the cells
    // count as changed again, so that nothing is taken for saved that is not.
    static bool WriteVersion(CViewPlenvo& plan);
    // When the plan has changes: takes them and writes a version. False only when a write
    // failed.
    static bool SaveChanges(CViewPlenvo& plan);
    // Before a plan leaves its window (another plan, a form, a new sign-in): its changes first.
    static void SaveBeforeReplacing(CViewElement& root);
    // The window's close: false keeps the window open (the version could not be written and the
    // teacher chose not to discard the changes).
    static bool SaveBeforeClosing(CView& view);
    // Lays the plan's newest saved version over the template's values.
    static void LoadNewest(CViewPlenvo& plan);
    static void SaveToService(CViewPlenvo& plan);
    // The autosave looks every CAutosave::kCheckMs of the plan's clock.
    static void StartAutosave(CViewPlenvo& plan);
    // One look of the autosave at the plan, on the plan's clock.
    static void CheckAutosave(CViewPlenvo& plan, CAutosave& autosave);

    // The bottom message for a version that could not be written.
    static std::string WriteFailureText(int error);
};

} // namespace Plenvo
