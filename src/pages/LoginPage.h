#pragma once
// The first content of the main window: teacher number, name and password, the sign-in against
// the service, the remembered values in cfg.ini and the hand-over to the main page.
#include <string>

namespace Plenvo {

class CView;

class CLoginPage {
public:
    static constexpr const char* kMember = "login";
    static constexpr const char* kButton = "loginbutton";
    static constexpr const char* kIdField = "loginidvalue";
    static constexpr const char* kNameField = "loginnamevalue";
    static constexpr const char* kPasswordField = "loginpasswordvalue";

    // Builds the template's login member into the content area and fills the remembered values.
    static void Show(CView& view);
    // The sign-in button: checks the fields and sends the login unless one is pending.
    static void SignIn(CView& view);
    // "[教师编号],[教师名]" and the like for the empty fields, in field order.
    static std::string EmptyFieldsText(bool idEmpty, bool nameEmpty, bool passwordEmpty);
};

} // namespace Plenvo
