#pragma once

#include <string_view>

namespace pellmor {

// True when the bytes are well-formed UTF-8 (RFC 3629): no overlong forms, no surrogates, nothing above
// U+10FFFF, no truncated sequence. The empty text is valid.
bool isValidUtf8(std::string_view bytes);

}  // namespace pellmor
