#pragma once
// Every element type, hook and page of the client, registered before the first window opens: by
// the program and by whatever runs the whole client in process.

namespace Plenvo {

void RegisterClientParts();

} // namespace Plenvo
