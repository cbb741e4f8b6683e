#include "net/ClientExit.h"

#include "net/SimpleCurl.h"

namespace Plenvo {

void NotifyClientExit(const CServiceEndpoints& endpoints,
                      std::shared_ptr<SimpleCurl::CSession> session, long timeLimitMs) {
    SimpleCurl::CSimpleCurl request(std::move(session));
    request.SetTimeLimit(timeLimitMs);
    request.Get(endpoints.ClientExit());
}

} // namespace Plenvo
