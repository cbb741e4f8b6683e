#pragma once
// The form that gives a plan its basic information (lesson type, grade, subject, title) in the
// content area: the create form, which creates a plan and opens it, and the edit-info form, which
// changes an existing plan's information and reopens it. The last choices are remembered.
#include <string>

namespace Plenvo {

class CView;

class CPlanInfoForm {
public:
    static constexpr const char* kCreateMember = "create";
    static constexpr const char* kEditMember = "editinfo";
    static constexpr const char* kTitleField = "lessiontitle";
    static constexpr const char* kLessonTypeBox = "lessiontypevalue";
    static constexpr const char* kGradeBox = "gradevalue";
    static constexpr const char* kSubjectBox = "subjectvalue";
    static constexpr const char* kCreateButton = "createlpbutton";
    static constexpr const char* kSaveButton = "savebutton";
    // "%s不能为空" is filled with this when the title is empty.
    static constexpr const char* kTitleLabel = "【课题名称】";

    // Only for a signed-in teacher; the last choices are preselected.
    static void ShowCreateForm(CView& view);
    // Fetches the plan's information and shows the edit-info form with it.
    static void EditInfo(CView& view, int id);
    static void Create(CView& view);
    static void Save(CView& view, int id);
};

} // namespace Plenvo
