#include "plan/VersionFolder.h"

#include "plan/VersionFileName.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace Plenvo {

namespace {

bool IsDecimal(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

struct CurrentFolder {
    std::mutex mutex;
    std::shared_ptr<CVersionFolder> folder;
};

CurrentFolder& Process() {
    static CurrentFolder current;
    return current;
}

} // namespace

std::shared_ptr<CVersionFolder> CVersionFolder::Current() {
    std::lock_guard lock(Process().mutex);
    return Process().folder;
}

void CVersionFolder::SetCurrent(std::shared_ptr<CVersionFolder> folder) {
    std::lock_guard lock(Process().mutex);
    Process().folder = std::move(folder);
}

CVersionFolder::CVersionFolder(std::string path, StampSource clock)
    : path_(std::move(path)), clock_(std::move(clock)) {}

std::map<std::string, std::vector<CVersionFolder::Candidate>>
CVersionFolder::List(const std::string* planId) const {
    namespace fs = std::filesystem;
    std::map<std::string, std::vector<Candidate>> byPlan;
    std::error_code ec;
    fs::directory_iterator it(path_, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code statError;
        // Links, folders and devices under a version's name are never ours.
        if (!fs::is_regular_file(it->symlink_status(statError)) || statError) {
            continue;
        }
        const auto name = CVersionFileName::Parse(it->path().filename().string());
        if (!name || (planId && name->planId != *planId)) {
            continue;
        }
        byPlan[name->planId].push_back({name->stamp, it->path().string()});
    }
    for (auto& [id, candidates] : byPlan) {
        std::stable_sort(candidates.begin(), candidates.end(),
                         [](const Candidate& x, const Candidate& y) { return y.stamp < x.stamp; });
    }
    return byPlan;
}

std::optional<std::pair<std::size_t, nlohmann::json>>
CVersionFolder::FirstValid(const std::string& planId, const std::vector<Candidate>& candidates) {
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (auto fields = ReadSavedVersionFile(candidates[i].path, planId)) {
            return std::pair(i, std::move(*fields));
        }
    }
    return std::nullopt;
}

CVersionStamp CVersionFolder::NextStamp(const std::string& planId) {
    CVersionStamp stamp = clock_();
    std::optional<CVersionStamp> floor;
    const auto listed = List(&planId);
    if (const auto plan = listed.find(planId); plan != listed.end()) {
        if (const auto valid = FirstValid(planId, plan->second)) {
            floor = plan->second[valid->first].stamp;
        }
    }
    std::lock_guard lock(mutex_);
    if (const auto issued = issued_.find(planId); issued != issued_.end()) {
        if (!floor || *floor < issued->second) {
            floor = issued->second;
        }
    }
    if (floor && !(*floor < stamp)) {
        stamp = floor->JustAbove();
    }
    issued_[planId] = stamp;
    return stamp;
}

VersionWriteResult CVersionFolder::Save(const std::string& planId, const nlohmann::json& fields) {
    if (!IsDecimal(planId)) {
        return {false, EINVAL, {}};
    }
    const std::string bytes = fields.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    VersionWriteResult result;
    // A name taken meanwhile (another copy of the program on this folder) only needs a new
    // stamp; a few tries are plenty.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const CVersionFileName name{planId, NextStamp(planId)};
        result = WriteSavedVersionFile(path_, name.Text(), bytes);
        if (result.ok || result.error != EEXIST) {
            break;
        }
    }
    return result;
}

std::optional<CVersionFolder::Version> CVersionFolder::Newest(const std::string& planId) const {
    const auto listed = List(&planId);
    const auto plan = listed.find(planId);
    if (plan == listed.end()) {
        return std::nullopt;
    }
    auto valid = FirstValid(planId, plan->second);
    if (!valid) {
        return std::nullopt;
    }
    const Candidate& chosen = plan->second[valid->first];
    return Version{planId, chosen.stamp, chosen.path, std::move(valid->second)};
}

CVersionFolder::Survey CVersionFolder::TakeSurvey() const {
    Survey survey;
    for (auto& [id, candidates] : List(nullptr)) {
        auto valid = FirstValid(id, candidates);
        if (!valid) {
            continue; // nothing here is known to be replaced by something better
        }
        const Candidate& chosen = candidates[valid->first];
        for (std::size_t i = valid->first + 1; i < candidates.size(); ++i) {
            if (candidates[i].stamp < chosen.stamp) {
                survey.superseded.push_back(candidates[i].path);
            }
        }
        survey.newest.emplace(id, Version{id, chosen.stamp, chosen.path, std::move(valid->second)});
    }
    return survey;
}

std::size_t CVersionFolder::RemoveOlderThan(const std::string& planId,
                                            const CVersionStamp& stamp) const {
    std::size_t removed = 0;
    for (const auto& [id, candidates] : List(&planId)) {
        for (const Candidate& candidate : candidates) {
            std::error_code ec;
            if (candidate.stamp < stamp && std::filesystem::remove(candidate.path, ec)) {
                ++removed;
            }
        }
    }
    return removed;
}

} // namespace Plenvo
