#pragma once
// The cursors an element can ask its window for. The host maps them to the platform's cursors.

namespace Plenvo {

enum class Cursor { None = 0, Arrow, Hand, IBeam };

} // namespace Plenvo
