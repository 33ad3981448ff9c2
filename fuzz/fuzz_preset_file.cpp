// para.bin as the library loads it: the whole file's checks (length, record headers, checksums) through the
// real file reader, which must agree with the in-memory decoder; what decodes re-encodes to records that
// decode to the same entries.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <span>

#include "fuzz_support.h"
#include "params/preset_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qv7;
    const std::span<const uint8_t> bytes(data, size);
    const auto entries = decodeUserPresets(bytes);
    fuzz::require(entries.size() <= size / kUserPresetRecordSize, "more entries than records");
    fuzz::require(entries.size() <= kMaxUserPresetRecords, "more entries than the file may hold");

    const auto again = decodeUserPresets(encodeUserPresets(entries));
    fuzz::require(again == entries, "re-encoded entries decode differently");

    const auto path = fuzz::scratchDir() / "para.bin";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    fuzz::require(readUserPresetFile(path) == entries, "the file reader and the decoder disagree");
    return 0;
}
