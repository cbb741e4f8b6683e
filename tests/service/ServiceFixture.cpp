#include "ServiceFixture.h"

#include <zlib.h>

#include <cstdlib>

namespace PlenvoServiceTest {

std::string Encode(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

std::string Deflate(const std::string& data) {
    uLongf size = compressBound(data.size());
    std::string out(size, '\0');
    EXPECT_EQ(compress(reinterpret_cast<Bytef*>(out.data()), &size,
                       reinterpret_cast<const Bytef*>(data.data()), data.size()),
              Z_OK);
    out.resize(size);
    return out;
}

std::string Form(const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string body;
    for (const auto& [key, value] : fields) {
        if (!body.empty())
            body += '&';
        body += key + "=" + Encode(value);
    }
    return body;
}

void ServiceTest::SetUp() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "plenvo-service-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    options_.dataFolder = (folder_ / "data").string();
    options_.threads = 32;
    options_.log = [this](const std::string& line) {
        std::lock_guard lock(logMutex_);
        log_.push_back(line);
    };
    Start();
}

void ServiceTest::TearDown() {
    Stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void ServiceTest::Start() {
    store_ = std::make_unique<PlenvoService::Store>((folder_ / "service.db").string(), 1000);
    service_ = std::make_unique<PlenvoService::LessonPlanService>(*store_, options_);
    port_ = service_->Bind("127.0.0.1", 0);
    ASSERT_GT(port_, 0);
    thread_ = std::thread([this] { service_->Run(); });
    ASSERT_TRUE(service_->WaitUntilRunning());
}

void ServiceTest::Stop() {
    if (service_)
        service_->Stop();
    if (thread_.joinable())
        thread_.join();
    service_.reset();
    store_.reset();
}

void ServiceTest::Restart() {
    Stop();
    Start();
}

json ServiceTest::Login(const std::string& number, const std::string& name,
                        const std::string& password, std::string* cookie) {
    httplib::Client client("127.0.0.1", port_);
    auto result =
        client.Post("/plenvo/login", Form({{"id", number}, {"name", name}, {"password", password}}),
                    "application/x-www-form-urlencoded");
    EXPECT_TRUE(result);
    if (!result)
        return json();
    EXPECT_EQ(result->status, 200);
    if (cookie) {
        std::string header = result->get_header_value("Set-Cookie");
        *cookie = header.substr(0, header.find(';'));
    }
    return json::parse(result->body, nullptr, false);
}

ServiceTest::Teacher ServiceTest::SignIn(const std::string& number, const std::string& name,
                                         const std::string& password) {
    Teacher teacher;
    json reply = Login(number, name, password, &teacher.cookie);
    EXPECT_EQ(reply.value("ok", false), true) << reply.dump();
    return teacher;
}

httplib::Result ServiceTest::Get(const std::string& endpoint, const Teacher* teacher) {
    httplib::Client client("127.0.0.1", port_);
    httplib::Headers headers;
    if (teacher)
        headers.emplace("Cookie", teacher->cookie);
    return client.Get(("/plenvo/" + endpoint).c_str(), headers);
}

json ServiceTest::GetJson(const std::string& endpoint, const Teacher* teacher) {
    auto result = Get(endpoint, teacher);
    EXPECT_TRUE(result) << endpoint;
    if (!result)
        return json();
    EXPECT_EQ(result->status, 200) << endpoint << " " << result->body;
    EXPECT_EQ(result->get_header_value("Content-Type"), "application/json; charset=utf-8");
    return json::parse(result->body, nullptr, false);
}

httplib::Result ServiceTest::PostRaw(const std::string& endpoint, const std::string& body,
                                     const Teacher* teacher, bool deflate) {
    httplib::Client client("127.0.0.1", port_);
    httplib::Headers headers;
    if (teacher)
        headers.emplace("Cookie", teacher->cookie);
    if (deflate)
        headers.emplace("Content-Encoding", "deflate");
    return client.Post(("/plenvo/" + endpoint).c_str(), headers, body,
                       "application/x-www-form-urlencoded");
}

json ServiceTest::Save(const Teacher& teacher, int64_t id, const std::string& stamp,
                       const std::vector<std::pair<std::string, std::string>>& cells,
                       bool deflate) {
    std::string body = Form(cells);
    auto result = PostRaw("event/save?id=" + std::to_string(id) + "&t=" + stamp,
                          deflate ? Deflate(body) : body, &teacher, deflate);
    EXPECT_TRUE(result);
    if (!result)
        return json();
    EXPECT_EQ(result->status, 200) << result->body;
    return json::parse(result->body, nullptr, false);
}

int64_t ServiceTest::CreatePlan(const Teacher& teacher, const std::string& title, int grade,
                                int subject, int lessonType) {
    json reply =
        GetJson("createlp?lt=" + std::to_string(lessonType) + "&grade=" + std::to_string(grade) +
                    "&subject=" + std::to_string(subject) + "&lessiontitle=" + Encode(title),
                &teacher);
    EXPECT_EQ(reply.value("ok", false), true) << reply.dump();
    return reply.contains("lpdata") ? reply["lpdata"].value("id", int64_t{0}) : 0;
}

json ServiceTest::OpenPlan(const Teacher& teacher, int64_t id) {
    json reply = GetJson("openlp?id=" + std::to_string(id), &teacher);
    EXPECT_EQ(reply.value("ok", false), true) << reply.dump();
    return reply.value("lpdata", json::object());
}

namespace {
void CollectCells(const json& lines, std::vector<std::pair<std::string, json>>& out) {
    if (!lines.is_array())
        return;
    for (const auto& line : lines)
        for (const auto& cell : line.value("cells", json::array())) {
            CollectCells(cell.value("lines", json::array()), out);
            out.emplace_back(cell.value("name", ""), cell);
        }
}
} // namespace

std::vector<std::pair<std::string, json>> Cells(const json& grid) {
    std::vector<std::pair<std::string, json>> cells;
    CollectCells(grid, cells);
    return cells;
}

std::optional<std::string> CellValue(const json& grid, const std::string& name) {
    for (const auto& [cellName, cell] : Cells(grid))
        if (cellName == name)
            return cell.value("value", "");
    return std::nullopt;
}

std::vector<std::string> LineNames(const json& grid) {
    std::vector<std::string> names;
    for (const auto& line : grid)
        names.push_back(line.value("name", ""));
    return names;
}

} // namespace PlenvoServiceTest
