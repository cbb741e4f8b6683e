#include "ServiceFixture.h"

#include <atomic>
#include <chrono>

using namespace PlenvoServiceTest;

// A short version of the load test: a burst of first sign-ins (more than the HTTP library's
// own listen backlog), then teachers saving and reopening their plans at the same time. No
// request may fail and no accepted save may be missing afterwards.
TEST_F(ServiceTest, ConcurrentTeachersLoseNoSave) {
    constexpr int kTeachers = 24;
    std::vector<Teacher> teachers(kTeachers);
    std::vector<int64_t> plans(kTeachers);
    std::vector<int> accepted(kTeachers);
    std::atomic<int> failures{0};
    {
        std::vector<std::thread> threads;
        for (int i = 0; i < kTeachers; ++i)
            threads.emplace_back([&, i] {
                std::string cookie;
                json reply = Login("5" + std::to_string(1000 + i), "并发老师", "pw", &cookie);
                if (!reply.is_object() || reply.value("ok", false) != true)
                    ++failures;
                teachers[i].cookie = cookie;
            });
        for (auto& thread : threads)
            thread.join();
    }
    ASSERT_EQ(failures, 0);
    for (int i = 0; i < kTeachers; ++i)
        plans[i] = CreatePlan(teachers[i], "并发" + std::to_string(i));

    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    std::vector<std::thread> threads;
    for (int i = 0; i < kTeachers; ++i)
        threads.emplace_back([&, i] {
            // Every teacher saves at least once, however late a loaded machine starts them.
            for (uint32_t n = 1; n == 1 || std::chrono::steady_clock::now() < until; ++n) {
                json saved = Save(teachers[i], plans[i], std::to_string(n) + ".0.0",
                                  {{"template.keypoints.value", "v" + std::to_string(n)}});
                if (saved.value("ok", false) != true)
                    ++failures;
                else
                    accepted[i] = static_cast<int>(n);
                json opened = OpenPlan(teachers[i], plans[i]);
                if (CellValue(opened["gridlines"], "template.keypoints.value") !=
                    "v" + std::to_string(n))
                    ++failures;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    for (int i = 0; i < kTeachers; ++i) {
        EXPECT_GT(accepted[i], 0);
        EXPECT_EQ(store_->VersionCount(plans[i]), static_cast<size_t>(accepted[i]));
        EXPECT_EQ(store_->NewestValues(plans[i])["template.keypoints.value"],
                  "v" + std::to_string(accepted[i]));
    }
}
