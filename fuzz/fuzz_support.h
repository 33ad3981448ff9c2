// What the fuzz targets share: a private scratch folder for targets that must go through real files, and a
// check that stops the run with a message (so a broken property shows as a crash with its reason).
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace qv7::fuzz {

// One folder per fuzzing process, in memory where the system has it, removed when the process ends.
inline const std::filesystem::path& scratchDir() {
    struct Dir {
        std::filesystem::path path;
        Dir() {
            std::error_code ec;
            const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                                   ? std::filesystem::path("/dev/shm")
                                                   : std::filesystem::temp_directory_path();
            path = base / ("qv7-fuzz-" + std::to_string(::getpid()));
            std::filesystem::create_directories(path, ec);
        }
        ~Dir() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    };
    static const Dir dir;
    return dir.path;
}

[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

inline void require(bool condition, const char* what) {
    if (!condition) fail(what);
}

}  // namespace qv7::fuzz
