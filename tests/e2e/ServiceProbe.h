#pragma once
// What a test asks the reference service itself, signed in as the same teacher as the client, to
// see what the service holds after the client acted: plans, their lines and their cells' text.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace httplib {
class Client;
}

namespace e2e {

class ServiceProbe {
public:
    ServiceProbe(int port, std::string number, std::string name, std::string password);

    // Creates a plan as the create form does; its id, 0 on failure.
    std::int64_t CreatePlan(const std::string& title, int grade = 3, int subject = 2,
                            int lessonType = 1);
    // The plan data of openlp; null when the service has no such plan or did not answer.
    nlohmann::json OpenPlan(std::int64_t id);
    // Saves cell values as one version of the plan, as the client's save does; false when the
    // service refused them.
    bool SaveCells(std::int64_t id, const std::map<std::string, std::string>& cells);
    // The ids of the teacher's plans as gethistory lists them.
    std::vector<std::int64_t> PlanIds();

private:
    nlohmann::json Get(const std::string& endpoint);
    // Signs in anew and returns the session cookie, empty on failure.
    std::string SignIn(httplib::Client& client);

    int port_;
    std::string number_;
    std::string name_;
    std::string password_;
};

// The plain text of the named cell at any depth (rich text read as the service reads it); none
// when the plan has no such cell.
std::optional<std::string> CellText(const nlohmann::json& plan, const std::string& name);
// The names of the plan's top-level lines in order.
std::vector<std::string> LineNames(const nlohmann::json& plan);

} // namespace e2e
