#pragma once
// RTF's \fcharset numbers and the code pages their bytes are in.
namespace richtext {

// The code page of a font character set; 0 for the default set and for unknown ones, whose bytes
// are in the document's code page (\ansicpg).
int CodePageOfCharset(int charset);

} // namespace richtext
