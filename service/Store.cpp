#include "Store.h"

#include "Crypto.h"
#include "Text.h"

#include <chrono>
#include <regex>

namespace PlenvoService {

using nlohmann::json;

namespace {
// Sessions unused for this long end by themselves.
constexpr int64_t kSessionIdleMs = 30LL * 24 * 3600 * 1000;
// Touching a session's last-use time on every request would turn every read into a write.
constexpr int64_t kSessionTouchMs = 60 * 1000;

const char* const kPlanColumns =
    "p.id, p.teacher, t.name, p.lessiontitle, p.lessiontype, p.grade, p.subject, p.grid, "
    "p.created, p.modified";

// Each entry upgrades the schema by one version; the database's user_version says how many
// have run.
const char* const kMigrations[] = {
    R"sql(
CREATE TABLE teachers (
    number TEXT PRIMARY KEY,
    name TEXT NOT NULL,
    algorithm TEXT NOT NULL,
    iterations INTEGER NOT NULL,
    salt TEXT NOT NULL,
    hash TEXT NOT NULL,
    created INTEGER NOT NULL
);
CREATE TABLE sessions (
    token TEXT PRIMARY KEY,
    teacher TEXT NOT NULL REFERENCES teachers(number),
    created INTEGER NOT NULL,
    seen INTEGER NOT NULL
);
CREATE TABLE plans (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    teacher TEXT NOT NULL REFERENCES teachers(number),
    lessiontitle TEXT NOT NULL,
    lessiontype INTEGER NOT NULL,
    grade INTEGER NOT NULL,
    subject INTEGER NOT NULL,
    grid TEXT NOT NULL,
    created INTEGER NOT NULL,
    modified INTEGER NOT NULL,
    deleted INTEGER
);
CREATE INDEX plans_by_teacher ON plans(teacher, deleted);
CREATE INDEX plans_by_topic ON plans(grade, subject, deleted, modified);
CREATE TABLE versions (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    plan INTEGER NOT NULL REFERENCES plans(id),
    c INTEGER NOT NULL,
    b INTEGER NOT NULL,
    a INTEGER NOT NULL,
    received INTEGER NOT NULL,
    UNIQUE (plan, c, b, a)
);
CREATE TABLE version_cells (
    version INTEGER NOT NULL REFERENCES versions(id),
    name TEXT NOT NULL,
    value TEXT NOT NULL,
    PRIMARY KEY (version, name)
) WITHOUT ROWID;
CREATE TABLE dumps (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    received INTEGER NOT NULL,
    version TEXT NOT NULL,
    file TEXT NOT NULL,
    size INTEGER NOT NULL,
    peer TEXT NOT NULL
);
)sql",
};
} // namespace

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::optional<VersionStamp> VersionStamp::Parse(const std::string& text) {
    static const std::regex form(R"((\d{1,10})\.(\d{1,10})\.(\d{1,10}))");
    std::smatch match;
    if (!std::regex_match(text, match, form))
        return std::nullopt;
    VersionStamp stamp;
    uint32_t* parts[] = {&stamp.a, &stamp.b, &stamp.c};
    for (int i = 0; i < 3; ++i) {
        auto value = ParseInteger(match[i + 1].str(), 0, UINT32_MAX);
        if (!value)
            return std::nullopt;
        *parts[i] = static_cast<uint32_t>(*value);
    }
    return stamp;
}

Store::Store(const std::string& path, int passwordIterations)
    : db_(path), passwordIterations_(passwordIterations) {
    // WAL keeps readers off the writer's back; FULL syncs every commit, so an accepted save
    // survives a power cut, not only a crash of the service.
    db_.Execute("PRAGMA journal_mode=WAL");
    db_.Execute("PRAGMA synchronous=FULL");
    db_.Execute("PRAGMA foreign_keys=ON");
    Migrate();
}

void Store::Migrate() {
    std::lock_guard lock(mutex_);
    auto read = db_.Prepare("PRAGMA user_version");
    read.Step();
    int64_t version = read.Int(0);
    const int64_t known = static_cast<int64_t>(std::size(kMigrations));
    if (version > known)
        throw DatabaseError("the database was written by a newer service (schema " +
                            std::to_string(version) + ", this service knows " +
                            std::to_string(known) + ")");
    for (; version < known; ++version) {
        Transaction transaction(db_);
        db_.Execute(kMigrations[version]);
        db_.Execute("PRAGMA user_version=" + std::to_string(version + 1));
        transaction.Commit();
    }
}

LoginOutcome Store::Login(const std::string& number, const std::string& name,
                          const std::string& password, std::string& token) {
    std::optional<PasswordRecord> stored;
    std::string storedName;
    {
        std::lock_guard lock(mutex_);
        auto row = db_.Prepare(
            "SELECT name, algorithm, iterations, salt, hash FROM teachers WHERE number = ?");
        row.Bind(1, number);
        if (row.Step()) {
            storedName = row.Text(0);
            stored =
                PasswordRecord{row.Text(1), static_cast<int>(row.Int(2)), row.Text(3), row.Text(4)};
        }
    }
    LoginOutcome outcome = LoginOutcome::SignedIn;
    // The key derivation is slow by design; it runs outside the lock.
    if (stored) {
        if (storedName != name || !VerifyPassword(password, *stored))
            return LoginOutcome::Refused;
    } else {
        PasswordRecord record = HashPassword(password, passwordIterations_);
        std::lock_guard lock(mutex_);
        auto insert = db_.Prepare("INSERT OR IGNORE INTO teachers (number, name, algorithm, "
                                  "iterations, salt, hash, created) VALUES (?, ?, ?, ?, ?, ?, ?)");
        insert.Bind(1, number).Bind(2, name).Bind(3, record.algorithm);
        insert.Bind(4, static_cast<int64_t>(record.iterations)).Bind(5, record.salt);
        insert.Bind(6, record.hash).Bind(7, NowMs()).Run();
        if (db_.Changes() == 0)
            return LoginOutcome::Refused; // another first login of this number won the race
        outcome = LoginOutcome::Registered;
    }
    token = RandomHex(32);
    std::lock_guard lock(mutex_);
    int64_t now = NowMs();
    db_.Prepare("DELETE FROM sessions WHERE seen < ?").Bind(1, now - kSessionIdleMs).Run();
    db_.Prepare("INSERT INTO sessions (token, teacher, created, seen) VALUES (?, ?, ?, ?)")
        .Bind(1, token)
        .Bind(2, number)
        .Bind(3, now)
        .Bind(4, now)
        .Run();
    return outcome;
}

std::optional<std::string> Store::SessionTeacher(const std::string& token) {
    if (token.empty())
        return std::nullopt;
    std::lock_guard lock(mutex_);
    auto row = db_.Prepare("SELECT teacher, seen FROM sessions WHERE token = ?");
    row.Bind(1, token);
    if (!row.Step())
        return std::nullopt;
    std::string teacher = row.Text(0);
    int64_t seen = row.Int(1);
    int64_t now = NowMs();
    if (seen < now - kSessionIdleMs)
        return std::nullopt;
    if (now - seen > kSessionTouchMs)
        db_.Prepare("UPDATE sessions SET seen = ? WHERE token = ?")
            .Bind(1, now)
            .Bind(2, token)
            .Run();
    return teacher;
}

void Store::EndSession(const std::string& token) {
    std::lock_guard lock(mutex_);
    db_.Prepare("DELETE FROM sessions WHERE token = ?").Bind(1, token).Run();
}

std::vector<PlanSummary> Store::History(const std::string& teacher) {
    std::lock_guard lock(mutex_);
    auto rows = db_.Prepare("SELECT id, lessiontitle, created, modified FROM plans WHERE teacher "
                            "= ? AND deleted IS NULL ORDER BY modified DESC, id DESC");
    rows.Bind(1, teacher);
    std::vector<PlanSummary> plans;
    while (rows.Step())
        plans.push_back({rows.Int(0), rows.Text(1), rows.Int(2), rows.Int(3)});
    return plans;
}

int64_t Store::CreatePlan(const std::string& teacher, const std::string& lessonTitle,
                          int lessonType, int grade, int subject) {
    std::string grid = PlanTemplate::NewGrid().dump();
    std::lock_guard lock(mutex_);
    int64_t now = NowMs();
    db_.Prepare("INSERT INTO plans (teacher, lessiontitle, lessiontype, grade, subject, grid, "
                "created, modified) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
        .Bind(1, teacher)
        .Bind(2, lessonTitle)
        .Bind(3, int64_t{lessonType})
        .Bind(4, int64_t{grade})
        .Bind(5, int64_t{subject})
        .Bind(6, grid)
        .Bind(7, now)
        .Bind(8, now)
        .Run();
    return db_.LastInsertId();
}

PlanAccess Store::Access(const std::string& teacher, int64_t id) {
    std::lock_guard lock(mutex_);
    auto row = db_.Prepare("SELECT teacher FROM plans WHERE id = ? AND deleted IS NULL");
    row.Bind(1, id);
    if (!row.Step())
        return PlanAccess::Missing;
    return row.Text(0) == teacher ? PlanAccess::Own : PlanAccess::OtherTeacher;
}

Plan Store::ReadPlan(Statement& row) {
    Plan plan;
    plan.id = row.Int(0);
    plan.teacher = row.Text(1);
    plan.teacherName = row.Text(2);
    plan.lessonTitle = row.Text(3);
    plan.lessonType = static_cast<int>(row.Int(4));
    plan.grade = static_cast<int>(row.Int(5));
    plan.subject = static_cast<int>(row.Int(6));
    plan.grid = json::parse(row.Text(7), nullptr, false);
    if (!plan.grid.is_array())
        plan.grid = json::array();
    plan.created = row.Int(8);
    plan.modified = row.Int(9);
    return plan;
}

std::optional<Plan> Store::GetPlan(const std::string& teacher, int64_t id) {
    std::lock_guard lock(mutex_);
    auto row = db_.Prepare(std::string("SELECT ") + kPlanColumns +
                           " FROM plans p JOIN teachers t ON t.number = p.teacher WHERE p.id = ? "
                           "AND p.teacher = ? AND p.deleted IS NULL");
    row.Bind(1, id).Bind(2, teacher);
    if (!row.Step())
        return std::nullopt;
    return ReadPlan(row);
}

bool Store::UpdateInfo(const std::string& teacher, int64_t id, const std::string& lessonTitle,
                       int lessonType, int grade, int subject) {
    std::lock_guard lock(mutex_);
    db_.Prepare("UPDATE plans SET lessiontitle = ?, lessiontype = ?, grade = ?, subject = ?, "
                "modified = ? WHERE id = ? AND teacher = ? AND deleted IS NULL")
        .Bind(1, lessonTitle)
        .Bind(2, int64_t{lessonType})
        .Bind(3, int64_t{grade})
        .Bind(4, int64_t{subject})
        .Bind(5, NowMs())
        .Bind(6, id)
        .Bind(7, teacher)
        .Run();
    return db_.Changes() == 1;
}

bool Store::DeletePlan(const std::string& teacher, int64_t id) {
    // Kept with a deletion mark: the client deletes without asking, so an administrator can
    // still bring a plan back; the id is never handed out again.
    std::lock_guard lock(mutex_);
    db_.Prepare("UPDATE plans SET deleted = ? WHERE id = ? AND teacher = ? AND deleted IS NULL")
        .Bind(1, NowMs())
        .Bind(2, id)
        .Bind(3, teacher)
        .Run();
    return db_.Changes() == 1;
}

PlanAccess Store::EditGrid(const std::string& teacher, int64_t id,
                           const std::function<bool(json&)>& edit, bool& changed) {
    changed = false;
    std::lock_guard lock(mutex_);
    Transaction transaction(db_);
    auto row = db_.Prepare("SELECT teacher, grid FROM plans WHERE id = ? AND deleted IS NULL");
    row.Bind(1, id);
    if (!row.Step())
        return PlanAccess::Missing;
    if (row.Text(0) != teacher)
        return PlanAccess::OtherTeacher;
    json grid = json::parse(row.Text(1), nullptr, false);
    if (!grid.is_array())
        grid = json::array();
    if (!edit(grid))
        return PlanAccess::Own;
    db_.Prepare("UPDATE plans SET grid = ?, modified = ? WHERE id = ?")
        .Bind(1, grid.dump())
        .Bind(2, NowMs())
        .Bind(3, id)
        .Run();
    transaction.Commit();
    changed = true;
    return PlanAccess::Own;
}

SaveOutcome Store::SaveVersion(const std::string& teacher, int64_t id, const VersionStamp& stamp,
                               const CellValues& cells) {
    std::lock_guard lock(mutex_);
    Transaction transaction(db_);
    auto plan = db_.Prepare("SELECT teacher FROM plans WHERE id = ? AND deleted IS NULL");
    plan.Bind(1, id);
    if (!plan.Step())
        return SaveOutcome::PlanGone;
    if (plan.Text(0) != teacher)
        return SaveOutcome::OtherTeacher;
    auto newest =
        db_.Prepare("SELECT c, b, a FROM versions WHERE plan = ? ORDER BY c DESC, b DESC, a DESC "
                    "LIMIT 1");
    newest.Bind(1, id);
    if (newest.Step()) {
        auto stored =
            std::tuple(static_cast<uint32_t>(newest.Int(0)), static_cast<uint32_t>(newest.Int(1)),
                       static_cast<uint32_t>(newest.Int(2)));
        if (stamp.Key() < stored)
            return SaveOutcome::Outdated;
        if (stamp.Key() == stored)
            return SaveOutcome::AlreadyStored; // a resend whose first reply was lost
    }
    int64_t now = NowMs();
    db_.Prepare("INSERT INTO versions (plan, c, b, a, received) VALUES (?, ?, ?, ?, ?)")
        .Bind(1, id)
        .Bind(2, int64_t{stamp.c})
        .Bind(3, int64_t{stamp.b})
        .Bind(4, int64_t{stamp.a})
        .Bind(5, now)
        .Run();
    int64_t version = db_.LastInsertId();
    auto insert = db_.Prepare("INSERT INTO version_cells (version, name, value) VALUES (?, ?, ?)");
    for (const auto& [name, value] : cells) {
        insert.Bind(1, version).Bind(2, name).Bind(3, value);
        insert.Run();
        insert.Reset();
    }
    db_.Prepare("UPDATE plans SET modified = ? WHERE id = ?").Bind(1, now).Bind(2, id).Run();
    transaction.Commit();
    return SaveOutcome::Stored;
}

CellValues Store::NewestValues(int64_t id) {
    std::lock_guard lock(mutex_);
    auto rows = db_.Prepare(
        "SELECT name, value FROM version_cells WHERE version = (SELECT id FROM versions WHERE "
        "plan = ? ORDER BY c DESC, b DESC, a DESC LIMIT 1)");
    rows.Bind(1, id);
    CellValues values;
    while (rows.Step())
        values.emplace(rows.Text(0), rows.Text(1));
    return values;
}

size_t Store::VersionCount(int64_t id) {
    std::lock_guard lock(mutex_);
    auto row = db_.Prepare("SELECT COUNT(*) FROM versions WHERE plan = ?");
    row.Bind(1, id);
    row.Step();
    return static_cast<size_t>(row.Int(0));
}

std::vector<Plan> Store::PlansLike(const std::string& excludedTeacher, int grade, int subject,
                                   size_t limit) {
    return SavedPlansLike(excludedTeacher, false, 0, grade, subject, limit);
}

std::vector<Plan> Store::OwnPlansLike(const std::string& teacher, int64_t excludedPlan, int grade,
                                      int subject, size_t limit) {
    return SavedPlansLike(teacher, true, excludedPlan, grade, subject, limit);
}

std::vector<Plan> Store::SavedPlansLike(const std::string& teacher, bool own, int64_t excludedPlan,
                                        int grade, int subject, size_t limit) {
    std::lock_guard lock(mutex_);
    auto rows = db_.Prepare(
        std::string("SELECT ") + kPlanColumns +
        " FROM plans p JOIN teachers t ON t.number = p.teacher WHERE p.grade = ? AND p.subject "
        "= ? AND p.deleted IS NULL AND (p.teacher = ?) = ? AND p.id <> ? AND EXISTS (SELECT 1 "
        "FROM versions v WHERE v.plan = p.id) ORDER BY p.modified DESC, p.id DESC LIMIT ?");
    rows.Bind(1, int64_t{grade})
        .Bind(2, int64_t{subject})
        .Bind(3, teacher)
        .Bind(4, int64_t{own ? 1 : 0})
        .Bind(5, excludedPlan)
        .Bind(6, static_cast<int64_t>(limit));
    std::vector<Plan> plans;
    while (rows.Step())
        plans.push_back(ReadPlan(rows));
    return plans;
}

void Store::RecordDump(const std::string& version, const std::string& file, int64_t size,
                       const std::string& peer) {
    std::lock_guard lock(mutex_);
    db_.Prepare("INSERT INTO dumps (received, version, file, size, peer) VALUES (?, ?, ?, ?, ?)")
        .Bind(1, NowMs())
        .Bind(2, version)
        .Bind(3, file)
        .Bind(4, size)
        .Bind(5, peer)
        .Run();
}

size_t Store::DumpCount() {
    std::lock_guard lock(mutex_);
    auto row = db_.Prepare("SELECT COUNT(*) FROM dumps");
    row.Step();
    return static_cast<size_t>(row.Int(0));
}

} // namespace PlenvoService
