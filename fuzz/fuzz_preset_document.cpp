// A preset document from anyone: refused or taken, never a crash; what is taken writes back to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "presets/preset_exchange.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const qv7::ParsedPresets parsed = qv7::parsePresetDocument(text);
    if (!parsed.ok) return 0;
    const qv7::ParsedPresets again = qv7::parsePresetDocument(qv7::presetDocument(parsed.entries));
    if (!again.ok || again.entries != parsed.entries) std::abort();
    return 0;
}
