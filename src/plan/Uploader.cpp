#include "plan/Uploader.h"

#include "net/ReplyCheck.h"
#include "net/SaveReply.h"
#include "net/SimpleCurlAsync.h"
#include "net/ThreadDispatcher.h"
#include "platform/MessageQueue.h"
#include "platform/Messaging.h"

#include <cstdio>
#include <filesystem>

namespace Plenvo {

CUploader::CUploader(std::shared_ptr<CVersionFolder> folder, std::string serviceBase,
                     std::shared_ptr<SimpleCurl::CSession> session, Tick tick)
    : folder_(std::move(folder)), endpoints_(std::move(serviceBase)), session_(std::move(session)),
      tick_(std::move(tick)) {}

void CUploader::ServeMessages() {
    platform::MSG msg;
    while (platform::PeekMessage(msg, true)) {
        platform::DispatchMessage(msg);
    }
}

void CUploader::Run(platform::Event& exit) {
    bool exiting = false;
    while (!exiting) {
        const std::uint64_t start = tick_();
        for (;;) {
            if (exit.Wait(kPollMs)) {
                exiting = true;
                break;
            }
            ++polls_;
            ServeMessages();
            if (tick_() - start > kPassIntervalMs) {
                break;
            }
        }
        Pass();
    }
    // The last pass carries what the teacher wrote just before closing: wait for its replies,
    // so that its files go now and not at the next sign-in.
    const std::uint64_t deadline = tick_() + kLastPassWaitMs;
    auto queue = platform::MessageQueue::Current();
    while (!inFlight_.empty() && tick_() < deadline) {
        queue->WaitForMessage(static_cast<std::uint64_t>(kPollMs));
        ServeMessages();
    }
    SimpleCurl::CThreadDispatcher::ReleaseCurrentThread();
}

void CUploader::Pass() {
    ++passes_;
    CVersionFolder::Survey survey = folder_->TakeSurvey();
    // The map keeps ascending plan-id order.
    for (const auto& [planId, version] : survey.newest) {
        // A second copy on a slow link could land after a newer one.
        if (inFlight_.insert(planId).second) {
            waiting_.push_back(version);
        }
    }
    for (const std::string& path : survey.superseded) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    SendWaiting();
}

void CUploader::SendWaiting() {
    while (sending_ < kUploadsAtOnce && !waiting_.empty()) {
        const CVersionFolder::Version version = std::move(waiting_.front());
        waiting_.pop_front();
        Send(version);
    }
}

void CUploader::Send(const CVersionFolder::Version& version) {
    SimpleCurl::Parameters fields;
    for (const auto& [key, value] : version.fields.items()) {
        fields.emplace_back(key, value.get<std::string>());
    }
    auto request = std::make_shared<SimpleCurl::CSimpleCurlAsync>(__FILE__, __LINE__, session_);
    ++sending_;
    const std::weak_ptr<CUploader> weak = weak_from_this();
    request->Post(endpoints_.UploadVersion(version.planId, version.stamp.Text()), fields, true,
                  [weak, planId = version.planId, path = version.path](SimpleCurl::response& r) {
                      if (auto self = weak.lock()) {
                          self->Finish(planId, path, r);
                      }
                  });
}

void CUploader::Finish(const std::string& planId, const std::string& path,
                       const SimpleCurl::response& reply) {
    inFlight_.erase(planId);
    --sending_;
    const UploadResult result = EvaluateUploadReply(reply);
    if (result.removeVersion && IsJsonReply(reply)) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    } else if (!result.diagnostic.empty()) {
        std::printf("upload of %s kept: %s\n", path.c_str(), result.diagnostic.c_str());
    }
    SendWaiting();
}

} // namespace Plenvo
