#pragma once

#include "Database.h"
#include "PlanTemplate.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace PlenvoService {

// Milliseconds since 1970-01-01 UTC.
int64_t NowMs();

// A version stamp as the client forms it; newer means larger c, then b, then a.
struct VersionStamp {
    uint32_t a = 0, b = 0, c = 0;
    static std::optional<VersionStamp> Parse(const std::string& text);
    auto Key() const { return std::tuple(c, b, a); }
};

struct Plan {
    int64_t id = 0;
    std::string teacher;     // teacher number
    std::string teacherName; // the owner's name
    std::string lessonTitle;
    int lessonType = 0, grade = 0, subject = 0;
    nlohmann::json grid; // the plan's own lines, without values
    int64_t created = 0, modified = 0;
};

struct PlanSummary {
    int64_t id = 0;
    std::string lessonTitle;
    int64_t created = 0, modified = 0;
};

enum class LoginOutcome { Registered, SignedIn, Refused };
enum class PlanAccess { Own, OtherTeacher, Missing };
enum class SaveOutcome { Stored, AlreadyStored, Outdated, PlanGone, OtherTeacher };

// Every persistent record of the service in one SQLite file: teachers (salted password
// hashes), sessions, plans with their line structure, every accepted saved version and the
// received crash dumps. Thread-safe: one connection, one lock, short transactions.
class Store {
public:
    static constexpr int kSchemaVersion = 1;

    // Opens or creates the database; throws DatabaseError when it cannot, or when the file was
    // written by a newer schema.
    Store(const std::string& path, int passwordIterations);

    // Registers a teacher number seen for the first time; later logins must give the same
    // name and password. On success a new session token is returned.
    LoginOutcome Login(const std::string& number, const std::string& name,
                       const std::string& password, std::string& token);
    // The teacher number of a live session, or none.
    std::optional<std::string> SessionTeacher(const std::string& token);
    void EndSession(const std::string& token);

    std::vector<PlanSummary> History(const std::string& teacher);
    int64_t CreatePlan(const std::string& teacher, const std::string& lessonTitle, int lessonType,
                       int grade, int subject);
    PlanAccess Access(const std::string& teacher, int64_t id);
    std::optional<Plan> GetPlan(const std::string& teacher, int64_t id);
    bool UpdateInfo(const std::string& teacher, int64_t id, const std::string& lessonTitle,
                    int lessonType, int grade, int subject);
    bool DeletePlan(const std::string& teacher, int64_t id);

    // Applies a change to the plan's lines inside one transaction; the edit returns false to
    // leave the plan untouched. Returns the plan's access and whether the edit took.
    PlanAccess EditGrid(const std::string& teacher, int64_t id,
                        const std::function<bool(nlohmann::json&)>& edit, bool& changed);

    // Stores a saved version unless a newer one is stored already.
    SaveOutcome SaveVersion(const std::string& teacher, int64_t id, const VersionStamp& stamp,
                            const CellValues& cells);
    // The cell values of the newest saved version (empty before the first save).
    CellValues NewestValues(int64_t id);
    size_t VersionCount(int64_t id);

    // Other teachers' plans of this grade and subject, most recently changed first, only those
    // that were saved at least once.
    std::vector<Plan> PlansLike(const std::string& excludedTeacher, int grade, int subject,
                                size_t limit);
    // The teacher's own saved plans of that grade and subject other than one plan, newest first.
    std::vector<Plan> OwnPlansLike(const std::string& teacher, int64_t excludedPlan, int grade,
                                   int subject, size_t limit);

    void RecordDump(const std::string& version, const std::string& file, int64_t size,
                    const std::string& peer);
    size_t DumpCount();

private:
    // Saved plans of a grade and subject: the teacher's own (one plan left out) or the others'.
    std::vector<Plan> SavedPlansLike(const std::string& teacher, bool own, int64_t excludedPlan,
                                     int grade, int subject, size_t limit);
    void Migrate();
    Plan ReadPlan(Statement& row);

    std::mutex mutex_;
    Database db_;
    int passwordIterations_;
};

} // namespace PlenvoService
