#pragma once

#include "LessonPlanService.h"
#include "Store.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace PlenvoServiceTest {

using nlohmann::json;

// Percent-encodes like the client: only ASCII letters and digits stay as they are.
std::string Encode(const std::string& text);
// zlib-format deflate, as the client compresses upload bodies.
std::string Deflate(const std::string& data);
// A form body of (key, value) pairs, values encoded.
std::string Form(const std::vector<std::pair<std::string, std::string>>& fields);

// A running service on 127.0.0.1 with an ephemeral port, its database and data folder in a
// fresh temporary folder; Restart() brings it up again on the same database.
class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void Start();
    void Stop();
    void Restart();

    // A client that carries the cookie of its own login, like the client's shared session.
    struct Teacher {
        std::string cookie;
    };
    Teacher SignIn(const std::string& number, const std::string& name = "王老师",
                   const std::string& password = "secret");
    json Login(const std::string& number, const std::string& name, const std::string& password,
               std::string* cookie = nullptr);

    httplib::Result Get(const std::string& endpoint, const Teacher* teacher = nullptr);
    json GetJson(const std::string& endpoint, const Teacher* teacher = nullptr);
    httplib::Result PostRaw(const std::string& endpoint, const std::string& body,
                            const Teacher* teacher, bool deflate);
    json Save(const Teacher& teacher, int64_t id, const std::string& stamp,
              const std::vector<std::pair<std::string, std::string>>& cells, bool deflate = true);

    int64_t CreatePlan(const Teacher& teacher, const std::string& title = "认识分数", int grade = 3,
                       int subject = 2, int lessonType = 1);
    json OpenPlan(const Teacher& teacher, int64_t id);

    std::filesystem::path folder_;
    PlenvoService::ServiceOptions options_;
    std::unique_ptr<PlenvoService::Store> store_;
    std::unique_ptr<PlenvoService::LessonPlanService> service_;
    std::thread thread_;
    int port_ = 0;
    std::vector<std::string> log_;
    std::mutex logMutex_;
};

// Every cell of a grid, depth first, as (name, cell).
std::vector<std::pair<std::string, json>> Cells(const json& grid);
// The value of the named cell, or none when there is no such cell.
std::optional<std::string> CellValue(const json& grid, const std::string& name);
// Names of the top-level lines in order.
std::vector<std::string> LineNames(const json& grid);

} // namespace PlenvoServiceTest
