#pragma once
#include <string>

namespace Plenvo {

// The signed-in teacher, as entered on the login page and sent to the service (UTF-8).
struct CUserInfo {
    std::string id;
    std::string name;
    std::string password;
};

} // namespace Plenvo
