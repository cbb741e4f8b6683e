#include "LessonPlanService.h"

#include "CellText.h"
#include "Crypto.h"
#include "EmbeddedTemplates.h"
#include "RequestRouter.h"
#include "Text.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

namespace PlenvoService {

using httplib::ContentReader;
using httplib::Request;
using httplib::Response;
using nlohmann::json;

namespace {
constexpr const char* kCookie = "PLENVOSESSION";
constexpr const char* kJson = "application/json; charset=utf-8";
const std::string kNotSignedIn = "未登录或登录已过期，请重新登录";
const std::string kNoSuchPlan = "教案不存在或已被删除";
constexpr int64_t kMaxPlanId = 2147483647; // the client formats ids with %d

void Reply(Response& res, const json& body, int status = 200) {
    res.status = status;
    res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), kJson);
}

void Refuse(Response& res, const std::string& error, int status = 200) {
    Reply(res, {{"ok", false}, {"error", error}}, status);
}

std::optional<int64_t> IdParam(const Request& req, const char* key = "id") {
    if (!req.has_param(key))
        return std::nullopt;
    return ParseInteger(req.get_param_value(key), 1, kMaxPlanId);
}

enum class BodyRead { Ok, TooLarge, Broken };

// Reads a whole (already decompressed) body, refusing more than `limit` bytes: the transport
// bounds only the compressed size, so this is what stops a small deflate bomb.
BodyRead ReadBody(const Request& req, const ContentReader& reader, size_t wireLimit, size_t limit,
                  std::string& body) {
    // A declared length over the limit is refused before a byte of it is read.
    if (auto length = ParseInteger(req.get_header_value("Content-Length"), 0, INT64_MAX);
        length && static_cast<uint64_t>(*length) > wireLimit)
        return BodyRead::TooLarge;
    bool tooLarge = false;
    bool ok = reader([&](const char* data, size_t length) {
        if (body.size() + length > limit) {
            tooLarge = true;
            return false;
        }
        body.append(data, length);
        return true;
    });
    if (tooLarge)
        return BodyRead::TooLarge;
    return ok ? BodyRead::Ok : BodyRead::Broken;
}

bool ReplyToBadBody(Response& res, BodyRead read) {
    if (read == BodyRead::TooLarge) {
        Refuse(res, "请求数据过大", 413);
        res.set_header("Connection", "close");
        return true;
    }
    if (read == BodyRead::Broken) {
        Refuse(res, "请求数据无法读取或解压", 400);
        res.set_header("Connection", "close");
        return true;
    }
    return false;
}

std::string CookieValue(const Request& req, const std::string& name) {
    for (auto [it, end] = req.headers.equal_range("Cookie"); it != end; ++it) {
        std::string_view header = it->second;
        while (!header.empty()) {
            size_t semicolon = header.find(';');
            std::string_view pair = header.substr(0, semicolon);
            header = semicolon == std::string_view::npos ? std::string_view()
                                                         : header.substr(semicolon + 1);
            while (!pair.empty() && pair.front() == ' ')
                pair.remove_prefix(1);
            size_t equals = pair.find('=');
            if (equals != std::string_view::npos && pair.substr(0, equals) == name)
                return std::string(pair.substr(equals + 1));
        }
    }
    return {};
}

bool HasControlCharacters(std::string_view text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return true;
    return false;
}

std::string LocalTimeText() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[96];
    std::snprintf(
        text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900,
        local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
        static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000));
    return text;
}

struct PlanInfoInput {
    int lessonType = 0, grade = 0, subject = 0;
    std::string title;
};

// Checks the basic information of the create and edit-info forms; an error text on failure.
std::optional<std::string> ReadPlanInfo(const Request& req, size_t maxTitleChars,
                                        PlanInfoInput& input) {
    auto number = [&](const char* key) {
        return ParseInteger(req.has_param(key) ? req.get_param_value(key) : "", -1000, 1000);
    };
    auto lessonType = number("lt");
    auto grade = number("grade");
    auto subject = number("subject");
    if (!lessonType || LessonTypeName(static_cast<int>(*lessonType)).empty())
        return "请选择课型";
    if (!grade || GradeName(static_cast<int>(*grade)).empty())
        return "请选择年级";
    if (!subject || SubjectName(static_cast<int>(*subject)).empty())
        return "请选择学科";
    std::string title = req.has_param("lessiontitle") ? req.get_param_value("lessiontitle") : "";
    if (!IsValidUtf8(title) || HasControlCharacters(title))
        return "课题名称含有无效字符";
    title = Trim(title);
    if (title.empty())
        return "课题名称不能为空";
    if (CodePointCount(title) > maxTitleChars)
        return "课题名称不能超过" + std::to_string(maxTitleChars) + "个字";
    input = {static_cast<int>(*lessonType), static_cast<int>(*grade), static_cast<int>(*subject),
             title};
    return std::nullopt;
}

} // namespace

LessonPlanService::LessonPlanService(Store& store, ServiceOptions options)
    : store_(store), options_(std::move(options)), server_(std::make_unique<RequestRouter>()),
      throttle_(options_.signIn, options_.clock) {
    if (options_.basePath.empty() || options_.basePath.front() != '/')
        options_.basePath.insert(0, "/");
    if (options_.basePath.back() != '/')
        options_.basePath += '/';
    server_->set_payload_max_length(options_.limits.maxBodyBytes);
    // The library only writes these into its replies' Keep-Alive header; the front keeps them.
    server_->set_keep_alive_max_count(options_.connections.maxRequestsPerConnection);
    server_->set_keep_alive_timeout(
        std::chrono::ceil<std::chrono::seconds>(options_.connections.idleTimeout).count());
    Routes();
    front_ = std::make_unique<HttpFront>(
        options_.connections, options_.limits.maxBodyBytes, options_.threads,
        [this](HttpFront::Exchange& exchange) {
            MemoryStream stream(std::move(exchange.request), exchange.remote, exchange.local,
                                exchange.continueSent);
            bool closed = false;
            bool handled = server_->Process(stream, exchange.last, closed);
            return HttpFront::Answer{stream.TakeReply(), !handled || closed};
        });
}

LessonPlanService::~LessonPlanService() {
    Stop();
}

int LessonPlanService::Bind(const std::string& host, int port) {
    return front_->Bind(host, port);
}

bool LessonPlanService::Run() {
    return front_->Run();
}

bool LessonPlanService::WaitUntilRunning() {
    for (int i = 0; i < 5000 && !front_->IsRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return front_->IsRunning();
}

void LessonPlanService::Stop() {
    front_->Stop();
}

std::optional<std::string> LessonPlanService::Teacher(const Request& req) {
    return store_.SessionTeacher(CookieValue(req, kCookie));
}

std::optional<LessonPlanService::PlanTarget> LessonPlanService::SignedInPlan(const Request& req,
                                                                             Response& res) {
    auto teacher = Teacher(req);
    if (!teacher) {
        Refuse(res, kNotSignedIn);
        return std::nullopt;
    }
    auto id = IdParam(req);
    if (!id) {
        Refuse(res, "教案编号无效");
        return std::nullopt;
    }
    return PlanTarget{*teacher, *id};
}

LessonPlanService::Handler LessonPlanService::Guard(const char* endpoint, Handler handler) {
    return [this, endpoint, handler](const Request& req, Response& res) {
        auto start = std::chrono::steady_clock::now();
        try {
            handler(req, res);
        } catch (const std::exception& e) {
            if (options_.log)
                options_.log(std::string("error in ") + endpoint + ": " + e.what());
            Refuse(res, "服务器内部错误，请稍后重试", 500);
        }
        auto spent =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start);
        res.set_header("Server-Timing", "app;dur=" + std::to_string(spent.count()));
    };
}

LessonPlanService::ReaderHandler LessonPlanService::Guard(const char* endpoint,
                                                          ReaderHandler handler) {
    return
        [this, endpoint, handler](const Request& req, Response& res, const ContentReader& reader) {
            Guard(endpoint,
                  Handler([&](const Request& r, Response& s) { handler(r, s, reader); }))(req, res);
        };
}

void LessonPlanService::Routes() {
    using namespace std::placeholders;
    const std::string base = EscapeRegex(options_.basePath);
    auto& s = *server_;
    s.Post(base + "login",
           Guard("login", ReaderHandler(std::bind(&LessonPlanService::Login, this, _1, _2, _3))));
    s.Post(
        base + "event/save",
        Guard("event/save", ReaderHandler(std::bind(&LessonPlanService::Save, this, _1, _2, _3))));
    s.Post(base + "dmp",
           Guard("dmp", ReaderHandler(std::bind(&LessonPlanService::Dump, this, _1, _2, _3))));
    auto get = [&](const char* endpoint,
                   void (LessonPlanService::*method)(const Request&, Response&)) {
        s.Get(base + endpoint, Guard(endpoint, Handler(std::bind(method, this, _1, _2))));
    };
    get("clientexit", &LessonPlanService::ClientExit);
    get("viewtemp", &LessonPlanService::ViewTemplate);
    get("gethistory", &LessonPlanService::History);
    get("createlp", &LessonPlanService::CreatePlan);
    get("saveinfo", &LessonPlanService::SaveInfo);
    get("getlpinfo", &LessonPlanService::PlanInfo);
    get("openlp", &LessonPlanService::OpenPlan);
    get("deletelp", &LessonPlanService::DeletePlan);
    get("event", &LessonPlanService::LineEvent);
    get("getsuggestion", &LessonPlanService::Suggestions);

    // Bodies are only read by the three POST endpoints, which bound them after decompression;
    // anywhere else a body (compressed or not) is refused before it is read.
    const std::string prefix = options_.basePath;
    s.set_pre_routing_handler([prefix](const Request& req, Response& res) {
        bool reads = req.method == "POST" &&
                     (req.path == prefix + "login" || req.path == prefix + "event/save" ||
                      req.path == prefix + "dmp");
        std::string length = req.get_header_value("Content-Length");
        bool hasBody = (!length.empty() && length != "0") || req.has_header("Transfer-Encoding") ||
                       req.has_header("Content-Encoding");
        if (!reads && hasBody) {
            Refuse(res, "该请求不接受数据", 415);
            res.set_header("Connection", "close");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    s.set_error_handler([](const Request&, Response& res) {
        if (res.body.empty())
            Refuse(res, res.status == 404 ? "没有这个请求" : "请求无法处理", res.status);
    });
    s.set_logger([this](const Request& req, const Response& res) {
        if (!options_.log)
            return;
        std::string target = req.path;
        char separator = '?';
        for (const auto& [key, value] : req.params) {
            target += separator + key + "=" + value;
            separator = '&';
        }
        std::string timing = res.get_header_value("Server-Timing");
        if (auto at = timing.find("dur="); at != std::string::npos)
            timing = timing.substr(at + 4, timing.find('.', at) + 3 - at - 4) + "ms";
        options_.log("[" + LocalTimeText() + "] " + req.remote_addr + " " + req.method + " " +
                     target + " " + std::to_string(res.status) + " " +
                     std::to_string(res.body.size()) + "B " + timing);
    });
}

void LessonPlanService::Login(const Request& req, Response& res, const ContentReader& reader) {
    std::string body;
    if (ReplyToBadBody(res, ReadBody(req, reader, 64 * 1024, 64 * 1024, body)))
        return;
    auto form = ParseForm(body);
    if (!form)
        return Refuse(res, "登录请求格式错误", 400);
    auto field = [&](const char* key) {
        for (const auto& [k, v] : *form)
            if (k == key)
                return v;
        return std::string();
    };
    std::string number = Trim(field("id"));
    std::string name = Trim(field("name"));
    std::string password = field("password");
    if (number.empty() || name.empty() || password.empty())
        return Refuse(res, "教师编号、姓名和密码都不能为空");
    static const std::regex numberForm("[0-9A-Za-z_-]{1,32}");
    if (!std::regex_match(number, numberForm))
        return Refuse(res, "教师编号只能由字母、数字组成，最多32位");
    if (!IsValidUtf8(name) || HasControlCharacters(name) || CodePointCount(name) > 32)
        return Refuse(res, "教师姓名最多32个字，且不能含有特殊字符");
    if (password.size() > 128)
        return Refuse(res, "密码不能超过128个字符");
    // Refused before the password is looked at: a guesser's attempts cost the service nothing.
    if (auto wait = throttle_.Begin(number, req.remote_addr))
        return Refuse(res, *wait);
    std::string token;
    LoginOutcome outcome;
    try {
        outcome = store_.Login(number, name, password, token);
    } catch (...) {
        throttle_.Abandon(number);
        throw;
    }
    throttle_.Finish(number, req.remote_addr, outcome != LoginOutcome::Refused);
    if (outcome == LoginOutcome::Refused)
        return Refuse(res, "教师编号、姓名或密码不正确");
    res.set_header("Set-Cookie", std::string(kCookie) + "=" + token +
                                     "; Path=" + options_.basePath + "; HttpOnly; SameSite=Strict");
    Reply(res, {{"ok", true},
                {"registered", outcome == LoginOutcome::Registered},
                {"id", number},
                {"name", name}});
}

void LessonPlanService::ClientExit(const Request& req, Response& res) {
    std::string token = CookieValue(req, kCookie);
    if (!token.empty())
        store_.EndSession(token);
    Reply(res, {{"ok", true}});
}

void LessonPlanService::ViewTemplate(const Request& req, Response& res) {
    std::string name = req.has_param("name") ? req.get_param_value("name") : "";
    if (name != "main" && name != "suggestion")
        return Refuse(res, "没有这个模板", 404);
    std::string_view content = EmbeddedTemplate(name);
    std::string etag = "\"" + Sha256Hex(content).substr(0, 32) + "\"";
    res.set_header("ETag", etag);
    res.set_header("Cache-Control", "no-cache");
    if (req.get_header_value("If-None-Match") == etag) {
        res.status = 304;
        return;
    }
    res.set_content(std::string(content), kJson);
}

void LessonPlanService::History(const Request& req, Response& res) {
    auto teacher = Teacher(req);
    if (!teacher)
        return Refuse(res, kNotSignedIn);
    json plans = json::array();
    for (const auto& plan : store_.History(*teacher))
        plans.push_back({{"id", plan.id},
                         {"lessiontitle", plan.lessonTitle},
                         {"created", plan.created},
                         {"modified", plan.modified}});
    Reply(res, {{"ok", true}, {"lps", plans}});
}

void LessonPlanService::CreatePlan(const Request& req, Response& res) {
    auto teacher = Teacher(req);
    if (!teacher)
        return Refuse(res, kNotSignedIn);
    PlanInfoInput input;
    if (auto error = ReadPlanInfo(req, options_.limits.maxTitleChars, input))
        return Refuse(res, *error);
    int64_t id =
        store_.CreatePlan(*teacher, input.title, input.lessonType, input.grade, input.subject);
    auto plan = store_.GetPlan(*teacher, id);
    if (!plan)
        return Refuse(res, kNoSuchPlan);
    Reply(res, {{"ok", true}, {"lpdata", PlanData(*plan)}});
}

void LessonPlanService::SaveInfo(const Request& req, Response& res) {
    auto target = SignedInPlan(req, res);
    if (!target)
        return;
    PlanInfoInput input;
    if (auto error = ReadPlanInfo(req, options_.limits.maxTitleChars, input))
        return Refuse(res, *error);
    if (!store_.UpdateInfo(target->teacher, target->id, input.title, input.lessonType, input.grade,
                           input.subject))
        return Refuse(res, kNoSuchPlan);
    Reply(res, {{"ok", true}});
}

void LessonPlanService::PlanInfo(const Request& req, Response& res) {
    auto target = SignedInPlan(req, res);
    if (!target)
        return;
    auto plan = store_.GetPlan(target->teacher, target->id);
    if (!plan)
        return Refuse(res, kNoSuchPlan);
    Reply(res, {{"ok", true},
                {"lpdata",
                 {{"id", plan->id},
                  {"lessiontitle", plan->lessonTitle},
                  {"lessiontype", std::to_string(plan->lessonType)},
                  {"grade", std::to_string(plan->grade)},
                  {"subject", std::to_string(plan->subject)}}}});
}

void LessonPlanService::OpenPlan(const Request& req, Response& res) {
    auto target = SignedInPlan(req, res);
    if (!target)
        return;
    auto plan = store_.GetPlan(target->teacher, target->id);
    if (!plan)
        return Refuse(res, kNoSuchPlan);
    Reply(res, {{"ok", true}, {"lpdata", PlanData(*plan)}});
}

void LessonPlanService::DeletePlan(const Request& req, Response& res) {
    auto target = SignedInPlan(req, res);
    if (!target)
        return;
    if (!store_.DeletePlan(target->teacher, target->id))
        return Refuse(res, kNoSuchPlan);
    Reply(res, {{"ok", true}});
}

void LessonPlanService::LineEvent(const Request& req, Response& res) {
    auto target = SignedInPlan(req, res);
    if (!target)
        return;
    std::string event = req.has_param("e") ? req.get_param_value("e") : "";
    std::string name = req.has_param("name") ? req.get_param_value("name") : "";
    if (name.empty() || name.size() > 200 || !IsValidUtf8(name) || HasControlCharacters(name))
        return Refuse(res, "行名称无效");
    std::function<bool(json&)> edit;
    const size_t maxLines = options_.limits.maxLinesPerPlan;
    if (event == "addline" && req.has_param("aftername")) {
        std::string after = req.get_param_value("aftername");
        edit = [&, after](json& grid) {
            return PlanTemplate::CountLines(grid) < maxLines &&
                   PlanTemplate::InsertLineAfter(grid, name, after);
        };
    } else if (event == "addline") {
        edit = [&](json& grid) {
            return PlanTemplate::CountLines(grid) < maxLines &&
                   PlanTemplate::AppendSubLine(grid, name);
        };
    } else if (event == "delline") {
        edit = [&](json& grid) { return PlanTemplate::RemoveLine(grid, name); };
    } else {
        return Refuse(res, "未知的事件");
    }
    bool changed = false;
    if (store_.EditGrid(target->teacher, target->id, edit, changed) != PlanAccess::Own)
        return Refuse(res, kNoSuchPlan);
    if (!changed)
        return Refuse(res, event == "delline" ? "该行不存在或不能删除" : "无法在此处添加行");
    Reply(res, {{"ok", true}});
}

void LessonPlanService::Save(const Request& req, Response& res, const ContentReader& reader) {
    std::string body;
    if (ReplyToBadBody(res, ReadBody(req, reader, options_.limits.maxBodyBytes,
                                     options_.limits.maxSaveBytes, body)))
        return;
    auto target = SignedInPlan(req, res);
    if (!target)
        return;
    auto stamp = VersionStamp::Parse(req.has_param("t") ? req.get_param_value("t") : "");
    if (!stamp)
        return Refuse(res, "版本号无效");
    auto form = ParseForm(body);
    if (!form)
        return Refuse(res, "保存数据格式错误", 400);
    CellValues cells;
    for (auto& [name, value] : *form) {
        // A saved version file also carries the plan's record; the record changes only
        // through the edit-info form, so an older file cannot undo a newer edit of it.
        if (name == "id" || name == "lessiontitle" || name == "grade" || name == "subject")
            continue;
        if (name.size() > 200 || !IsValidUtf8(name) || !IsValidUtf8(value))
            return Refuse(res, "保存数据含有无效字符", 400);
        cells[name] = std::move(value); // of two cells with one name the later wins
    }
    if (cells.empty())
        return Refuse(res, "保存数据中没有教案内容", 400);
    switch (store_.SaveVersion(target->teacher, target->id, *stamp, cells)) {
    case SaveOutcome::Stored:
    case SaveOutcome::AlreadyStored:
        return Reply(res, {{"ok", true}});
    case SaveOutcome::Outdated:
    case SaveOutcome::PlanGone:
        return Refuse(res, "ignore");
    case SaveOutcome::OtherTeacher:
        // Not "ignore": the file belongs to another teacher who shares this computer, and it
        // must stay until that teacher signs in again.
        return Refuse(res, "不能保存其他教师的教案");
    }
}

void LessonPlanService::Suggestions(const Request& req, Response& res) {
    auto id = IdParam(req);
    json reply = {{"q", id ? *id : 0}, {"suggestions", json::array()}};
    auto teacher = Teacher(req);
    if (!teacher) {
        reply["ok"] = false;
        reply["error"] = kNotSignedIn;
        return Reply(res, reply);
    }
    auto plan = id ? store_.GetPlan(*teacher, *id) : std::nullopt;
    if (!plan) {
        reply["ok"] = false;
        reply["error"] = kNoSuchPlan;
        return Reply(res, reply);
    }
    constexpr size_t kMost = 10;
    std::vector<Plan> shown = store_.PlansLike(*teacher, plan->grade, plan->subject, kMost);
    // Until another teacher of this grade and subject has saved a plan (a fresh database), the
    // teacher's own other saved plans of them are what there is to read beside this one.
    if (shown.empty())
        shown = store_.OwnPlansLike(*teacher, plan->id, plan->grade, plan->subject, kMost);
    for (const auto& other : shown)
        reply["suggestions"].push_back(
            {{"text", PlanDigest(other)}, {"id", other.id}, {"lessiontitle", other.lessonTitle}});
    reply["ok"] = true;
    Reply(res, reply);
}

void LessonPlanService::Dump(const Request& req, Response& res, const ContentReader& reader) {
    namespace fs = std::filesystem;
    static const std::regex versionForm(R"(\d{1,5}(\.\d{1,5}){0,3})");
    std::string version = req.has_param("ver") ? req.get_param_value("ver") : "";
    bool acceptable = std::regex_match(version, versionForm) && req.is_multipart_form_data() &&
                      store_.DumpCount() < options_.limits.maxDumps;
    fs::path folder = fs::path(options_.dataFolder) / "dumps";
    std::string fileName = "dump-" + std::to_string(NowMs()) + "-" + RandomHex(4) + ".dmp";
    fs::path temporary = folder / (fileName + ".part");
    std::ofstream out;
    std::error_code error;
    if (acceptable) {
        fs::create_directories(folder, error);
        out.open(temporary, std::ios::binary | std::ios::trunc);
    }
    bool inFile = false, sawFile = false, tooLarge = false;
    size_t size = 0;
    bool read;
    if (req.is_multipart_form_data()) {
        read = reader(
            [&](const httplib::MultipartFormData& part) {
                inFile = part.name == "file" && !sawFile;
                sawFile = sawFile || inFile;
                return true;
            },
            [&](const char* data, size_t length) {
                if (!inFile)
                    return true;
                size += length;
                if (size > options_.limits.maxDumpBytes) {
                    tooLarge = true;
                    return false;
                }
                if (out.is_open())
                    out.write(data, static_cast<std::streamsize>(length));
                return true;
            });
    } else {
        read = reader([](const char*, size_t) { return true; });
    }
    if (out.is_open())
        out.close();
    auto discard = [&] { fs::remove(temporary, error); };
    if (tooLarge) {
        discard();
        res.set_header("Connection", "close");
        return Refuse(res, "崩溃报告过大", 413);
    }
    if (!read) {
        discard();
        return Refuse(res, "崩溃报告不完整", 400);
    }
    if (!std::regex_match(version, versionForm))
        return discard(), Refuse(res, "版本号无效", 400);
    if (!req.is_multipart_form_data() || !sawFile)
        return discard(), Refuse(res, "缺少崩溃报告文件", 400);
    if (!acceptable)
        return discard(), Refuse(res, "崩溃报告已满，暂不接收", 507);
    if (out.fail())
        return discard(), Refuse(res, "无法保存崩溃报告", 500);
    fs::rename(temporary, folder / fileName, error);
    if (error)
        return discard(), Refuse(res, "无法保存崩溃报告", 500);
    store_.RecordDump(version, (folder / fileName).string(), static_cast<int64_t>(size),
                      req.remote_addr);
    Reply(res, {{"ok", true}});
}

json LessonPlanService::PlanData(const Plan& plan) {
    CellValues values = store_.NewestValues(plan.id);
    // The header cells show the plan's record, which the edit-info form changes.
    values["template.lessiontitle.value"] = plan.lessonTitle;
    values["template.grade.value"] = GradeName(plan.grade);
    values["template.subject.value"] = SubjectName(plan.subject);
    values["template.lessiontype.value"] = LessonTypeName(plan.lessonType);
    json grid = plan.grid;
    PlanTemplate::LayValues(grid, values);
    std::string schooltime = "第1课时";
    if (auto it = values.find("template.schooltime.value"); it != values.end())
        schooltime = Trim(CellValueToText(it->second));
    return {{"id", plan.id},
            {"title", StringMember(PlanTemplate::Document(), "title")},
            {"name", plan.teacherName},
            {"lessiontitle", plan.lessonTitle},
            {"schooltime", schooltime},
            {"schooltype", SchoolStage(plan.grade)},
            {"lessiontype", std::to_string(plan.lessonType)},
            {"grade", std::to_string(plan.grade)},
            {"subject", std::to_string(plan.subject)},
            {"created", plan.created},
            {"modified", plan.modified},
            {"gridlines", grid}};
}

std::string LessonPlanService::PlanDigest(const Plan& plan) {
    const CellValues values = store_.NewestValues(plan.id);
    std::string text = "《" + plan.lessonTitle + "》\n" + GradeName(plan.grade) + " " +
                       SubjectName(plan.subject) + " · " + LessonTypeName(plan.lessonType) +
                       " · 执教：" + plan.teacherName + "\n";
    // A line is shown when the teacher wrote something of their own in it; the template's
    // prefilled texts alone (stage names, list numbers) are not content.
    std::function<void(const json&, std::vector<std::string>&, bool&)> collect =
        [&](const json& line, std::vector<std::string>& parts, bool& own) {
            auto cells = line.find("cells");
            if (cells == line.end() || !cells->is_array())
                return;
            for (const auto& cell : *cells) {
                if (!cell.is_object())
                    continue;
                if (auto sub = cell.find("lines"); sub != cell.end() && sub->is_array()) {
                    for (const auto& subLine : *sub)
                        collect(subLine, parts, own);
                    continue;
                }
                if (cell.value("readonly", false))
                    continue;
                std::string initial = CellValueToText(StringMember(cell, "value"));
                auto it = values.find(StringMember(cell, "name"));
                std::string current =
                    Trim(it != values.end() ? CellValueToText(it->second) : initial);
                if (current.empty())
                    continue;
                own = own || current != Trim(initial);
                std::string caption = StringMember(cell, "caption");
                parts.push_back(caption.empty() ? current : caption + "：" + current);
            }
        };
    for (const auto& line : plan.grid) {
        std::vector<std::string> parts;
        bool own = false;
        collect(line, parts, own);
        if (!own)
            continue;
        std::string heading;
        if (auto cells = line.find("cells"); cells != line.end() && cells->is_array())
            for (const auto& cell : *cells)
                if (cell.is_object() && cell.value("readonly", false)) {
                    heading = StringMember(cell, "value");
                    break;
                }
        text += "\n";
        if (!heading.empty())
            text += "【" + heading + "】\n";
        for (const auto& part : parts)
            text += part + "\n";
    }
    // Keep each suggestion a readable size; cut at a character boundary.
    const size_t limit = 6000;
    if (text.size() > limit) {
        size_t cut = limit;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text = text.substr(0, cut) + "……";
    }
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

} // namespace PlenvoService
