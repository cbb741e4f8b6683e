#pragma once
// The accessors of cfg.ini: the last login (section LOGIN) and the last choices of the plan form
// (section DEFVAL). Values are UTF-8; nothing is encrypted.
#include <string>
#include <string_view>

namespace Plenvo {

class CConfiguration {
public:
    static constexpr const char* kLoginSection = "LOGIN";
    static constexpr const char* kDefaultsSection = "DEFVAL";
    // The login keys and their defaults.
    static constexpr const char* kId = "ID";
    static constexpr const char* kName = "NAME";
    static constexpr const char* kPassword = "PASSWORD";
    static constexpr const char* kDefaultId = "000000";
    static constexpr const char* kDefaultName = "老师";
    // The plan form's keys.
    static constexpr const char* kLessonType = "LESSIONTYPE";
    static constexpr const char* kGrade = "GRADE";
    static constexpr const char* kSubject = "SUBJECT";

    explicit CConfiguration(std::string path);
    const std::string& Path() const { return path_; }

    // Values longer than 999 characters are cut, as the platform's 1000-character buffer does.
    std::string ReadLoginValue(std::string_view key, std::string_view defaultValue) const;
    // After a successful login: ID, NAME and PASSWORD in that order, exactly as sent.
    void WriteLoginValues(std::string_view id, std::string_view name,
                          std::string_view password) const;
    int ReadDefaultValue(std::string_view key) const;
    void WriteDefaultValue(std::string_view key, int value) const;

private:
    std::string path_;
};

} // namespace Plenvo
