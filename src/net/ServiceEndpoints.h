#pragma once
// The service's endpoints as full URLs under one base URL. Text values marked "encoded" are
// URL-encoded; the others are digits or element names and go in as they are.
#include "net/Form.h"

#include <string>
#include <string_view>

namespace Plenvo {

class CServiceEndpoints {
public:
    explicit CServiceEndpoints(std::string baseUrl);

    const std::string& Base() const { return base_; }

    // POST with the form of LoginForm.
    std::string Login() const;
    static SimpleCurl::Parameters LoginForm(std::string_view id, std::string_view name,
                                            std::string_view password);
    std::string CreatePlan(int lessonType, int grade, int subject, std::string_view title) const;
    std::string SaveInfo(int id, int lessonType, int grade, int subject,
                         std::string_view title) const;
    std::string OpenPlan(int id) const;
    std::string PlanInfo(int id) const;
    std::string DeletePlan(int id) const;
    std::string History() const;
    // GET with download progress reported.
    std::string Suggestions(int id) const;
    // GET with the query of TemplateQuery.
    std::string Template() const;
    static SimpleCurl::Parameters TemplateQuery(std::string_view pageName);
    // Name and after-name encoded, id as it is.
    std::string AddLineEvent(std::string_view name, std::string_view afterName,
                             std::string_view id) const;
    // A sub-line added by Enter in an extendable cell: both as they are.
    std::string AddSubLineEvent(std::string_view name, std::string_view id) const;
    // The name is encoded when a top-level line is removed by its icon.
    std::string DeleteLineEvent(std::string_view name, std::string_view id, bool encodeName) const;
    // The plan's own save (compressed POST); id encoded.
    std::string SavePlan(std::string_view id, unsigned major, unsigned minor, unsigned build) const;
    // The uploader's save of a stored version; id encoded, stamp as in the file name.
    std::string UploadVersion(std::string_view id, std::string_view stamp) const;
    std::string ClientExit() const;
    // Multipart POST of the crash dump; version "%u.%u.%u.%u".
    std::string Dump(std::string_view version) const;

private:
    std::string At(std::string_view path) const;

    std::string base_;
};

} // namespace Plenvo
