#pragma once

namespace SimpleCurl {

// Initialises libcurl once for the process, before any handle is made on any thread.
void EnsureCurlGlobalInit();

} // namespace SimpleCurl
