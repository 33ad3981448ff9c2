// Wide strings (wchar_t, as hidapi hands out serial numbers and product names) to UTF-8.
#pragma once

#include <string>

namespace qv7 {

// UTF-8 of the zero-terminated `text`; null gives "". A value that is no Unicode scalar (a surrogate,
// or above U+10FFFF) becomes U+FFFD, so what comes out is always valid UTF-8 whatever a device reported.
std::string wideToUtf8(const wchar_t* text);

}  // namespace qv7
