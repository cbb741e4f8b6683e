// The HTTP worker runs for the whole test program, as it does for the whole client.
#include "net/Worker.h"

#include <gtest/gtest.h>

namespace {

class WorkerEnvironment : public ::testing::Environment {
public:
    void SetUp() override { SimpleCurl::StartWorker(); }
    void TearDown() override { EXPECT_TRUE(SimpleCurl::StopWorker(5000)); }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new WorkerEnvironment);

} // namespace
