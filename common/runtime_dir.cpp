#include "common/runtime_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qv7 {

namespace {

// Another user must not be able to plant or read anything in the folder.
bool ownedPrivateFolder(const std::string& dir, bool followLinks, std::string& why) {
    struct stat st {};
    if ((followLinks ? stat(dir.c_str(), &st) : lstat(dir.c_str(), &st)) != 0) {
        why = dir + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & 077) != 0) {
        why = dir + " is not a folder of this user's alone";
        return false;
    }
    return true;
}

}  // namespace

std::string privateRuntimeDir(std::string& why) {
    // The session's runtime folder is set up by the login manager; it is trusted to be the user's.
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
        if (ownedPrivateFolder(runtime, true, why)) return runtime;
    }
    // Otherwise a folder of ours in a shared, sticky /tmp: made 0700, and refused when someone else made it
    // first or put a link there (lstat does not follow it).
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir =
        std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/qv7-panel-" + std::to_string(geteuid());
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        why = dir + ": " + std::strerror(errno);
        return {};
    }
    return ownedPrivateFolder(dir, false, why) ? dir : std::string();
}

}  // namespace qv7
