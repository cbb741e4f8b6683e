// Nothing the teacher wrote is lost when the client dies: the saving and uploading code runs in
// a program that this test kills with SIGKILL at random moments, first while the reference
// service is down, then while it is up; at the end every plan's last journaled edit must be what
// the service holds, and no version in the folder may ever be half-written.
#include "Store.h"
#include "plan/SavedVersionFile.h"
#include "plan/VersionFileName.h"
#include "plan/VersionFolder.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using testsupport::Process;
using testsupport::TempDir;

namespace {

constexpr int kRoundsDown = 110;
constexpr int kRoundsUp = 110;
constexpr const char* kTeacher = "fault01";

// A loopback port that nothing uses now; the socket is closed again at once.
int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// Every edit the writer journaled, per plan the last one.
std::map<std::string, long> LastEdits(const std::string& journal) {
    std::map<std::string, long> last;
    std::ifstream in(journal);
    std::string line;
    while (std::getline(in, line)) {
        if (in.eof()) {
            break;
        }
        char plan[32] = {};
        long edit = 0;
        if (std::sscanf(line.c_str(), "%31s %ld", plan, &edit) == 2) {
            last[plan] = std::max(last[plan], edit);
        }
    }
    return last;
}

// The edit number all cells of a version carry; -1 when they differ or a cell is missing.
long EditOf(const std::map<std::string, std::string>& cells) {
    long edit = -1;
    for (int cell = 0; cell < 30; ++cell) {
        const auto it = cells.find("cell" + std::to_string(cell));
        if (it == cells.end()) {
            return -1;
        }
        long plan = 0, value = 0, number = 0;
        if (std::sscanf(it->second.c_str(), "__RTF__{\\rtf1\\ansi plan %ld edit %ld cell %ld",
                        &plan, &value, &number) != 3 ||
            number != cell || it->second.back() != '}' || (edit != -1 && value != edit)) {
            return -1;
        }
        edit = value;
    }
    return edit;
}

class Service {
public:
    Service(const TempDir& dir, int port) : dir_(dir), port_(port) {}
    void Start() {
        process_ = std::make_unique<Process>(
            std::vector<std::string>{PLENVO_SERVICE, "--port", std::to_string(port_), "--db",
                                     dir_.File("service.db"), "--data", dir_.File("data"),
                                     "--password-iterations", "1000", "--quiet"},
            dir_.Path(), std::map<std::string, std::string>{}, dir_.File("service.log"));
        httplib::Client client("127.0.0.1", port_);
        ASSERT_TRUE(testsupport::WaitFor(
            [&] { return static_cast<bool>(client.Get("/plenvo/viewtemp?name=main")); }, 20000))
            << "the reference service did not start";
    }
    void Stop() { process_.reset(); }
    int Port() const { return port_; }
    std::string Log() const { return process_ ? process_->Output() : std::string(); }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_) + "/plenvo/"; }

private:
    const TempDir& dir_;
    int port_;
    std::unique_ptr<Process> process_;
};

} // namespace

TEST(VersionFault, NoEditIsLostWhenTheClientIsKilledAtRandomMoments) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("Dump"));
    Service service(dir, FreePort());
    service.Start();

    // The teacher and three plans exist on the service.
    std::vector<std::string> plans;
    {
        httplib::Client client("127.0.0.1", service.Port());
        client.set_read_timeout(30);
        auto login = client.Post("/plenvo/login",
                                 "id=" + std::string(kTeacher) +
                                     "&name=%E6%B5%8B%E8%AF%95%E6%95%99%E5%B8%88"
                                     "&password=secret",
                                 "application/x-www-form-urlencoded");
        ASSERT_TRUE(login) << httplib::to_string(login.error()) << service.Log();
        ASSERT_EQ(login->status, 200) << login->body;
        const std::string cookie = login->get_header_value("Set-Cookie");
        const httplib::Headers headers{{"Cookie", cookie.substr(0, cookie.find(';'))}};
        for (int i = 0; i < 3; ++i) {
            httplib::Client fresh("127.0.0.1", service.Port());
            fresh.set_read_timeout(30);
            auto created =
                fresh.Get("/plenvo/createlp?lt=1&grade=3&subject=2&lessiontitle=t", headers);
            ASSERT_TRUE(created) << httplib::to_string(created.error()) << service.Log();
            ASSERT_EQ(created->status, 200) << created->body;
            const auto reply = nlohmann::json::parse(created->body);
            ASSERT_TRUE(reply.value("ok", false)) << created->body;
            const auto& id = reply["lpdata"]["id"];
            plans.push_back(id.is_string() ? id.get<std::string>()
                                           : std::to_string(id.get<long>()));
        }
    }
    const std::string planList = plans[0] + "," + plans[1] + "," + plans[2];
    const std::string journal = dir.File("journal");
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> killAfterMs(0, 250);
    Plenvo::CVersionFolder folder(dir.File("Dump"));

    service.Stop();
    int rounds = 0;
    for (int round = 0; round < kRoundsDown + kRoundsUp; ++round) {
        if (round == kRoundsDown) {
            service.Start();
        }
        {
            Process writer({VERSION_WRITER, "edit", dir.File("Dump"), service.Base(), kTeacher,
                            planList, journal},
                           dir.Path(), {}, dir.File("writer.log"));
            std::this_thread::sleep_for(std::chrono::milliseconds(killAfterMs(random)));
            ::kill(writer.Pid(), SIGKILL);
            ASSERT_TRUE(writer.Wait(10000)) << "the writer did not die";
        }
        ++rounds;
        // Whatever lies in the folder under a version's name is whole, and what a plan would
        // load is its newest journaled edit or the one whose journal line the kill cut off.
        const auto last = LastEdits(journal);
        for (const auto& entry : std::filesystem::directory_iterator(dir.File("Dump"))) {
            const auto name = Plenvo::CVersionFileName::Parse(entry.path().filename().string());
            if (!name) {
                continue;
            }
            const auto fields = Plenvo::ReadSavedVersionFile(entry.path(), name->planId);
            ASSERT_TRUE(fields) << "half-written version " << entry.path() << " in round " << round;
            ASSERT_NE(EditOf(fields->get<std::map<std::string, std::string>>()), -1)
                << entry.path();
        }
        for (const auto& plan : plans) {
            const auto newest = folder.Newest(plan);
            if (newest && last.contains(plan)) {
                const long edit = EditOf(newest->fields.get<std::map<std::string, std::string>>());
                EXPECT_GE(edit, last.at(plan)) << "plan " << plan << " round " << round;
            }
        }
    }

    // The client comes back once more and is closed normally: its uploads empty the folder.
    Process drain(
        {VERSION_WRITER, "drain", dir.File("Dump"), service.Base(), kTeacher, planList, journal},
        dir.Path(), {}, dir.File("drain.log"));
    const auto drained = drain.Wait(40000);
    ASSERT_TRUE(drained) << "the drain did not end";
    EXPECT_EQ(*drained, 0) << drain.Output();
    service.Stop();

    const auto last = LastEdits(journal);
    ASSERT_EQ(last.size(), 3u) << "every plan was edited";
    PlenvoService::Store store(dir.File("service.db"), 1000);
    for (const auto& plan : plans) {
        const auto values = store.NewestValues(std::stol(plan));
        const std::map<std::string, std::string> cells(values.begin(), values.end());
        const long edit = EditOf(cells);
        ASSERT_NE(edit, -1) << "the service holds a broken version of plan " << plan;
        EXPECT_GE(edit, last.at(plan)) << "the last edit of plan " << plan << " was lost";
    }
    std::printf("%d rounds killed (%d with the service down); last edits %ld, %ld, %ld reached "
                "the service\n",
                rounds, kRoundsDown, last.at(plans[0]), last.at(plans[1]), last.at(plans[2]));
}
