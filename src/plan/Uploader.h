#pragma once
// The upload thread's work: every five seconds, and once more when the program ends, it sends
// the newest saved version of every plan to the service, deletes versions that a newer one
// replaces, and deletes a version once the service has it (or refuses it for good). Nothing of
// it is shown to the teacher. Everything but the constructor runs on the upload thread.
#include "net/Response.h"
#include "net/ServiceEndpoints.h"
#include "net/Session.h"
#include "plan/VersionFolder.h"
#include "platform/Event.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>

namespace Plenvo {

class CUploader : public std::enable_shared_from_this<CUploader> {
public:
    using Tick = std::function<std::uint64_t()>;

    static constexpr std::uint64_t kPassIntervalMs = 5000;
    static constexpr std::int64_t kPollMs = 100;
    // How long the uploads of the last pass are awaited; with the dispatcher's release it stays
    // well inside the 15000 ms the program waits for this thread at exit.
    static constexpr std::uint64_t kLastPassWaitMs = 10000;
    // Uploads on the wire at once. Sending a whole pass at once opens one connection per
    // version: a service (or the proxy in front of it) serves a few connections per client and
    // makes the rest wait or refuses them, and the refused ones come back only after the retry
    // pause. A few at once keep the connections alive and reused, in key order.
    static constexpr std::size_t kUploadsAtOnce = 4;

    // The tick is the program's clock (tests drive it).
    CUploader(std::shared_ptr<CVersionFolder> folder, std::string serviceBase,
              std::shared_ptr<SimpleCurl::CSession> session, Tick tick);

    // The thread body: passes until the exit event is set, then a last pass whose uploads are
    // awaited, then the thread's dispatcher is released.
    void Run(platform::Event& exit);
    // One pass. Its completions run while the calling thread serves its messages.
    void Pass();

    // Plans whose upload has not completed yet (sent, or waiting for its turn); a pass does not
    // send them again.
    std::size_t InFlight() const { return inFlight_.size(); }
    // Any thread: passes begun and times the loop has looked at the clock (tests).
    std::uint64_t Passes() const { return passes_.load(); }
    std::uint64_t Polls() const { return polls_.load(); }

private:
    void SendWaiting();
    void Send(const CVersionFolder::Version& version);
    void Finish(const std::string& planId, const std::string& path,
                const SimpleCurl::response& reply);
    static void ServeMessages();

    const std::shared_ptr<CVersionFolder> folder_;
    const CServiceEndpoints endpoints_;
    const std::shared_ptr<SimpleCurl::CSession> session_;
    const Tick tick_;
    std::set<std::string> inFlight_;
    // Versions of this or an earlier pass not yet on the wire, in key order.
    std::deque<CVersionFolder::Version> waiting_;
    std::size_t sending_ = 0;
    std::atomic<std::uint64_t> passes_{0};
    std::atomic<std::uint64_t> polls_{0};
};

} // namespace Plenvo
