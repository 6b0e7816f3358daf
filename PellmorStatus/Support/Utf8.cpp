#include "Support/Utf8.h"

#include <cstddef>

namespace pellmor {
namespace {

// Hand-written because the standard library no longer offers a UTF-8 check (the codecvt facets are
// deprecated and lenient about surrogates). The ranges follow the well-formed byte table of RFC 3629.

bool isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Length of the sequence led by `lead` and the allowed range of its second byte; 0 for an invalid lead.
struct Lead {
  std::size_t length;
  unsigned char secondLow;
  unsigned char secondHigh;
};

Lead describeLead(unsigned char lead) {
  if (lead < 0x80) return {1, 0, 0};
  if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF};
  if (lead == 0xE0) return {3, 0xA0, 0xBF};  // no overlong three-byte forms
  if (lead == 0xED) return {3, 0x80, 0x9F};  // no UTF-16 surrogates
  if (lead >= 0xE1 && lead <= 0xEF) return {3, 0x80, 0xBF};
  if (lead == 0xF0) return {4, 0x90, 0xBF};  // no overlong four-byte forms
  if (lead >= 0xF1 && lead <= 0xF3) return {4, 0x80, 0xBF};
  if (lead == 0xF4) return {4, 0x80, 0x8F};  // nothing above U+10FFFF
  return {0, 0, 0};
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
  std::size_t index = 0;
  while (index < bytes.size()) {
    const Lead lead = describeLead(static_cast<unsigned char>(bytes[index]));
    if (lead.length == 0 || bytes.size() - index < lead.length) return false;
    if (lead.length > 1) {
      const auto second = static_cast<unsigned char>(bytes[index + 1]);
      if (second < lead.secondLow || second > lead.secondHigh) return false;
      for (std::size_t offset = 2; offset < lead.length; ++offset) {
        if (!isContinuation(static_cast<unsigned char>(bytes[index + offset]))) return false;
      }
    }
    index += lead.length;
  }
  return true;
}

}  // namespace pellmor
