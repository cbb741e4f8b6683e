#include "ServiceProbe.h"

#include "CellText.h"
#include "net/Form.h"

#include <httplib.h>

namespace e2e {

namespace {

using SimpleCurl::UrlEncode;

const nlohmann::json* FindCell(const nlohmann::json& lines, const std::string& name) {
    if (!lines.is_array()) {
        return nullptr;
    }
    for (const auto& line : lines) {
        const auto cells = line.find("cells");
        if (!line.is_object() || cells == line.end() || !cells->is_array()) {
            continue;
        }
        for (const auto& cell : *cells) {
            if (!cell.is_object()) {
                continue;
            }
            if (cell.value("name", "") == name) {
                return &cell;
            }
            if (const auto inner = cell.find("lines"); inner != cell.end()) {
                if (const auto* found = FindCell(*inner, name)) {
                    return found;
                }
            }
        }
    }
    return nullptr;
}

} // namespace

ServiceProbe::ServiceProbe(int port, std::string number, std::string name, std::string password)
    : port_(port), number_(std::move(number)), name_(std::move(name)),
      password_(std::move(password)) {}

// Every question signs in anew: the client's own sign-ins never leave the probe without a
// session.
std::string ServiceProbe::SignIn(httplib::Client& client) {
    const auto login = client.Post("/plenvo/login",
                                   "id=" + UrlEncode(number_) + "&name=" + UrlEncode(name_) +
                                       "&password=" + UrlEncode(password_),
                                   "application/x-www-form-urlencoded");
    if (!login || login->status != 200) {
        return {};
    }
    const std::string cookie = login->get_header_value("Set-Cookie");
    return cookie.substr(0, cookie.find(';'));
}

nlohmann::json ServiceProbe::Get(const std::string& endpoint) {
    httplib::Client client("127.0.0.1", port_);
    const std::string cookie = SignIn(client);
    if (cookie.empty()) {
        return nullptr;
    }
    const auto result = client.Get(("/plenvo/" + endpoint).c_str(), {{"Cookie", cookie}});
    if (!result || result->status != 200) {
        return nullptr;
    }
    nlohmann::json reply = nlohmann::json::parse(result->body, nullptr, false);
    return reply.is_object() && reply.value("ok", false) ? reply : nullptr;
}

bool ServiceProbe::SaveCells(std::int64_t id, const std::map<std::string, std::string>& cells) {
    httplib::Client client("127.0.0.1", port_);
    const std::string cookie = SignIn(client);
    std::string body;
    for (const auto& [name, value] : cells) {
        body += (body.empty() ? "" : "&") + UrlEncode(name) + "=" + UrlEncode(value);
    }
    const auto result =
        client.Post(("/plenvo/event/save?id=" + std::to_string(id) + "&t=1.1.1").c_str(),
                    {{"Cookie", cookie}}, body, "application/x-www-form-urlencoded");
    if (cookie.empty() || !result || result->status != 200) {
        return false;
    }
    const nlohmann::json reply = nlohmann::json::parse(result->body, nullptr, false);
    return reply.is_object() && reply.value("ok", false);
}

std::int64_t ServiceProbe::CreatePlan(const std::string& title, int grade, int subject,
                                      int lessonType) {
    const nlohmann::json reply =
        Get("createlp?lt=" + std::to_string(lessonType) + "&grade=" + std::to_string(grade) +
            "&subject=" + std::to_string(subject) + "&lessiontitle=" + UrlEncode(title));
    return reply.is_null() ? 0 : reply["lpdata"].value("id", std::int64_t{0});
}

nlohmann::json ServiceProbe::OpenPlan(std::int64_t id) {
    const nlohmann::json reply = Get("openlp?id=" + std::to_string(id));
    return reply.is_null() ? nlohmann::json() : reply["lpdata"];
}

std::vector<std::int64_t> ServiceProbe::PlanIds() {
    std::vector<std::int64_t> ids;
    const nlohmann::json reply = Get("gethistory");
    if (!reply.is_null()) {
        for (const auto& plan : reply.value("lps", nlohmann::json::array())) {
            ids.push_back(plan.value("id", std::int64_t{0}));
        }
    }
    return ids;
}

std::optional<std::string> CellText(const nlohmann::json& plan, const std::string& name) {
    if (!plan.is_object()) {
        return std::nullopt;
    }
    const auto lines = plan.find("gridlines");
    const auto* cell = lines == plan.end() ? nullptr : FindCell(*lines, name);
    if (!cell) {
        return std::nullopt;
    }
    const auto value = cell->find("value");
    return value != cell->end() && value->is_string()
               ? PlenvoService::CellValueToText(value->get<std::string>())
               : std::string();
}

std::vector<std::string> LineNames(const nlohmann::json& plan) {
    std::vector<std::string> names;
    if (plan.is_object()) {
        for (const auto& line : plan.value("gridlines", nlohmann::json::array())) {
            names.push_back(line.value("name", ""));
        }
    }
    return names;
}

} // namespace e2e
