// qv7ctl's command-line words: `NAME=VALUE` assignments and preset names or numbers. An accepted assignment
// names a real field with a byte value; a refused one says why. A preset lookup finds an entry that exists,
// by its number or by exactly its shown name. The library holds the built-ins and user presets the input makes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/assignment.h"
#include "fuzz_support.h"
#include "presets/preset_library.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qv7;
    FuzzedDataProvider in(data, size);
    const std::string arg = in.ConsumeRandomLengthString(64);

    std::string error;
    if (const auto a = cli::parseAssignment(arg, error)) {
        fuzz::require(a->field != nullptr && a->value >= 0 && a->value <= 255, "an assignment out of range");
        fuzz::require(arg.compare(0, arg.find('='), a->field->name) == 0, "an assignment to another field");
    } else {
        fuzz::require(!error.empty(), "a refused assignment without a reason");
    }

    // A fresh library on a file that does not exist: built-ins, plus the user presets the input names.
    HeadlessPresetUi ui;
    PresetLibrary library(ui, fuzz::scratchDir() / "absent" / "para.bin", [](std::string_view) {});
    library.InitPresetLibrary();
    for (int n = in.ConsumeIntegralInRange<int>(0, 4); n > 0; --n) {
        const std::string name = in.ConsumeRandomLengthString(12);
        (void)library.AddPreset(PresetEntry::make(library.entry(0).set, name));
    }
    const std::string wanted = in.ConsumeRemainingBytesAsString();
    if (const auto index = findPreset(library, wanted)) {
        fuzz::require(*index >= 0 && *index < library.count(), "a preset index past the library");
        const bool byNumber = wanted.find_first_not_of("0123456789") == std::string::npos && wanted.size() <= 4 &&
                              std::stoi(wanted) == *index;
        fuzz::require(byNumber || library.entry(*index).displayName() == wanted, "a preset found by another name");
    }
    return 0;
}
