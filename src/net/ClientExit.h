#pragma once
#include "net/ServiceEndpoints.h"
#include "net/Session.h"

#include <memory>

namespace Plenvo {

// Blocking: tells the service that the client ends, ignoring the reply and any failure. Bounded
// so that an unresponsive service cannot keep a closed client alive.
void NotifyClientExit(const CServiceEndpoints& endpoints,
                      std::shared_ptr<SimpleCurl::CSession> session, long timeLimitMs = 5000);

} // namespace Plenvo
