#pragma once
// The dump folder as the store of saved plan versions: it hands out stamps, writes versions,
// finds the newest version of a plan and sorts the folder for the upload thread. Used from the
// user-interface thread and the upload thread at once; the file system is the only state they
// share apart from the stamps already handed out.
#include "plan/SavedVersionFile.h"
#include "plan/VersionStamp.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace Plenvo {

class CVersionFolder {
public:
    using StampSource = std::function<CVersionStamp()>;

    struct Version {
        std::string planId;
        CVersionStamp stamp;
        std::string path;
        // An object whose members are all strings.
        nlohmann::json fields;
    };

    struct Survey {
        // The newest valid version of every plan, by plan id.
        std::map<std::string, Version> newest;
        // Versions older than a valid newer version of their plan.
        std::vector<std::string> superseded;
    };

    explicit CVersionFolder(std::string path, StampSource clock = &CVersionStamp::Now);

    // The process's dump folder, set by the application at start-up (the plan element, built by
    // the element factory, finds it here); empty when none is set.
    static std::shared_ptr<CVersionFolder> Current();
    static void SetCurrent(std::shared_ptr<CVersionFolder> folder);

    const std::string& Path() const { return path_; }

    // The clock's stamp, raised just above the newest valid version of the plan in the folder
    // and above every stamp handed out for the plan before, so that a clock set back never
    // makes new work look older than old work.
    CVersionStamp NextStamp(const std::string& planId);
    // Writes the fields as a new version of the plan under a fresh stamp. The plan id must be
    // decimal digits (it names the file).
    VersionWriteResult Save(const std::string& planId, const nlohmann::json& fields);
    // The newest version of the plan that is an object of strings.
    std::optional<Version> Newest(const std::string& planId) const;
    Survey TakeSurvey() const;
    // After the service stored the plan under this stamp: older versions would only bring back
    // older text when the plan opens, so they go. Returns how many were removed.
    std::size_t RemoveOlderThan(const std::string& planId, const CVersionStamp& stamp) const;

private:
    struct Candidate {
        CVersionStamp stamp;
        std::string path;
    };
    // Version files by plan id, newest first; only the one plan when planId is given.
    std::map<std::string, std::vector<Candidate>> List(const std::string* planId) const;
    // The first readable version of a newest-first list, and its index.
    static std::optional<std::pair<std::size_t, nlohmann::json>>
    FirstValid(const std::string& planId, const std::vector<Candidate>& candidates);

    const std::string path_;
    const StampSource clock_;
    std::mutex mutex_;
    std::map<std::string, CVersionStamp> issued_;
};

} // namespace Plenvo
