#include "net/ServiceEndpoints.h"

namespace Plenvo {

using SimpleCurl::UrlEncode;

namespace {

std::string Decimal(long long value) {
    return std::to_string(value);
}

} // namespace

CServiceEndpoints::CServiceEndpoints(std::string baseUrl) : base_(std::move(baseUrl)) {}

std::string CServiceEndpoints::At(std::string_view path) const {
    return base_ + std::string(path);
}

std::string CServiceEndpoints::Login() const {
    return At("login");
}

SimpleCurl::Parameters CServiceEndpoints::LoginForm(std::string_view id, std::string_view name,
                                                    std::string_view password) {
    return {
        {"id", std::string(id)}, {"name", std::string(name)}, {"password", std::string(password)}};
}

std::string CServiceEndpoints::CreatePlan(int lessonType, int grade, int subject,
                                          std::string_view title) const {
    return At("createlp?lt=" + Decimal(lessonType) + "&grade=" + Decimal(grade) +
              "&subject=" + Decimal(subject) + "&lessiontitle=" + UrlEncode(title));
}

std::string CServiceEndpoints::SaveInfo(int id, int lessonType, int grade, int subject,
                                        std::string_view title) const {
    return At("saveinfo?id=" + Decimal(id) + "&lt=" + Decimal(lessonType) +
              "&grade=" + Decimal(grade) + "&subject=" + Decimal(subject) +
              "&lessiontitle=" + UrlEncode(title));
}

std::string CServiceEndpoints::OpenPlan(int id) const {
    return At("openlp?id=" + Decimal(id));
}

std::string CServiceEndpoints::PlanInfo(int id) const {
    return At("getlpinfo?id=" + Decimal(id));
}

std::string CServiceEndpoints::DeletePlan(int id) const {
    return At("deletelp?id=" + Decimal(id));
}

std::string CServiceEndpoints::History() const {
    return At("gethistory");
}

std::string CServiceEndpoints::Suggestions(int id) const {
    return At("getsuggestion?id=" + Decimal(id));
}

std::string CServiceEndpoints::Template() const {
    return At("viewtemp");
}

SimpleCurl::Parameters CServiceEndpoints::TemplateQuery(std::string_view pageName) {
    return {{"name", std::string(pageName)}};
}

std::string CServiceEndpoints::AddLineEvent(std::string_view name, std::string_view afterName,
                                            std::string_view id) const {
    return At("event?e=addline&name=" + UrlEncode(name) + "&aftername=" + UrlEncode(afterName) +
              "&id=" + std::string(id));
}

std::string CServiceEndpoints::AddSubLineEvent(std::string_view name, std::string_view id) const {
    return At("event?e=addline&name=" + std::string(name) + "&id=" + std::string(id));
}

std::string CServiceEndpoints::DeleteLineEvent(std::string_view name, std::string_view id,
                                               bool encodeName) const {
    return At("event?e=delline&name=" + (encodeName ? UrlEncode(name) : std::string(name)) +
              "&id=" + std::string(id));
}

std::string CServiceEndpoints::SavePlan(std::string_view id, unsigned major, unsigned minor,
                                        unsigned build) const {
    return At("event/save?id=" + UrlEncode(id) + "&t=" + std::to_string(major) + "." +
              std::to_string(minor) + "." + std::to_string(build));
}

std::string CServiceEndpoints::UploadVersion(std::string_view id, std::string_view stamp) const {
    return At("event/save?id=" + UrlEncode(id) + "&t=" + std::string(stamp));
}

std::string CServiceEndpoints::ClientExit() const {
    return At("clientexit");
}

std::string CServiceEndpoints::Dump(std::string_view version) const {
    return At("dmp?ver=" + std::string(version));
}

} // namespace Plenvo
