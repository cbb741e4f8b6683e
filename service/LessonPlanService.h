#pragma once

#include "HttpFront.h"
#include "PlanTemplate.h"
#include "SignInThrottle.h"
#include "Store.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

namespace httplib {
struct Request;
struct Response;
class ContentReader;
} // namespace httplib

namespace PlenvoService {

class RequestRouter;

struct ServiceLimits {
    size_t maxBodyBytes = 8u << 20;  // a request body as it arrives
    size_t maxSaveBytes = 32u << 20; // a saved version after decompression
    size_t maxDumpBytes = 10485760;  // one crash dump, the size the client sends at most
    size_t maxDumps = 1000;          // dumps kept before further uploads are refused
    size_t maxLinesPerPlan = 400;    // lines a plan may grow to through line events
    size_t maxTitleChars = 60;
};

struct ServiceOptions {
    std::string basePath = "/plenvo/";
    std::string dataFolder = "data"; // uploaded crash dumps go below it
    int threads = 32;                // requests served at once; open connections cost no thread
    ServiceLimits limits;
    ConnectionLimits connections;
    SignInLimits signIn;
    // The clock that sign-in waits are measured on; tests drive it.
    std::function<std::chrono::steady_clock::time_point()> clock;
    // Receives one line per request; empty means silent.
    std::function<void(const std::string&)> log;
};

// The lesson-plan service: every endpoint of the protocol over HTTP, backed by the store.
class LessonPlanService {
public:
    LessonPlanService(Store& store, ServiceOptions options);
    ~LessonPlanService();
    LessonPlanService(const LessonPlanService&) = delete;
    LessonPlanService& operator=(const LessonPlanService&) = delete;

    // Binds the listening socket; port 0 takes a free one. Returns the port, or -1.
    int Bind(const std::string& host, int port);
    // Serves until Stop; returns false when the socket failed.
    bool Run();
    // Waits (at most 5 s) until Run is accepting connections; a Stop that comes earlier would
    // be lost.
    bool WaitUntilRunning();
    void Stop();

    // The plan data that openlp and createlp answer with: the record members and the plan's
    // lines with its newest saved values laid over them.
    nlohmann::json PlanData(const Plan& plan);
    // A plain-text digest of a plan, as other teachers see it among suggestions.
    std::string PlanDigest(const Plan& plan);

private:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;
    using ReaderHandler = std::function<void(const httplib::Request&, httplib::Response&,
                                             const httplib::ContentReader&)>;
    void Routes();
    Handler Guard(const char* endpoint, Handler handler);
    ReaderHandler Guard(const char* endpoint, ReaderHandler handler);

    void Login(const httplib::Request&, httplib::Response&, const httplib::ContentReader&);
    void ClientExit(const httplib::Request&, httplib::Response&);
    void ViewTemplate(const httplib::Request&, httplib::Response&);
    void History(const httplib::Request&, httplib::Response&);
    void CreatePlan(const httplib::Request&, httplib::Response&);
    void SaveInfo(const httplib::Request&, httplib::Response&);
    void PlanInfo(const httplib::Request&, httplib::Response&);
    void OpenPlan(const httplib::Request&, httplib::Response&);
    void DeletePlan(const httplib::Request&, httplib::Response&);
    void LineEvent(const httplib::Request&, httplib::Response&);
    void Save(const httplib::Request&, httplib::Response&, const httplib::ContentReader&);
    void Suggestions(const httplib::Request&, httplib::Response&);
    void Dump(const httplib::Request&, httplib::Response&, const httplib::ContentReader&);

    std::optional<std::string> Teacher(const httplib::Request& req);
    // The signed-in teacher and the plan id of a request; a refusal is answered when either is
    // missing.
    struct PlanTarget {
        std::string teacher;
        int64_t id;
    };
    std::optional<PlanTarget> SignedInPlan(const httplib::Request& req, httplib::Response& res);

    Store& store_;
    ServiceOptions options_;
    std::unique_ptr<RequestRouter> server_;
    std::unique_ptr<HttpFront> front_;
    SignInThrottle throttle_;
};

} // namespace PlenvoService
