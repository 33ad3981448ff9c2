// The hand-over on the panel's local socket: a qv7ctl command carried out by the panel that holds the Tolka.
//
//   request  "run" then each argument preceded by a NUL byte, ended by "\n"; at most kMaxRequest bytes, and no
//            argument holds a NUL or a newline.
//   reply    "exit CODE OUTLEN ERRLEN\n", then OUTLEN bytes for standard output and ERRLEN for standard error;
//            each at most kMaxReplyText. The panel then hangs up.
//
// A request the panel does not take (unknown, malformed, too long) gets a reply with exit code 2 and the reason
// on standard error. The older "show\n" request of a second panel start shares the socket and is unchanged.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qv7::handover {

inline constexpr std::size_t kMaxRequest = 4096;
inline constexpr std::size_t kMaxReplyText = 65536;
inline constexpr char kRunPrefix[] = "run";

// qv7ctl's exit codes a reply may carry (the command line defines them; these are the same values).
inline constexpr int kOk = 0, kFailed = 1, kUsage = 2, kNoDevice = 3, kInUse = 4;

struct Reply {
    int code = kFailed;
    std::string out;
    std::string err;
};

// Empty when the arguments cannot be carried (a NUL or newline in one, or too long altogether).
std::optional<std::string> encodeRequest(const std::vector<std::string>& args);
// The arguments of a whole request line (its "\n" included); nothing when it is not a run request.
std::optional<std::vector<std::string>> decodeRequest(const std::string& line);

std::string encodeReply(const Reply& reply);

// Reads a reply as it arrives: feed() what came, until it says Done or Bad.
class ReplyReader {
public:
    enum class State { More, Done, Bad };
    State feed(const char* data, std::size_t size);
    const Reply& reply() const { return reply_; }

private:
    std::string buffer_;
    bool headerRead_ = false;
    std::size_t outLen_ = 0, errLen_ = 0;
    Reply reply_;
};

}  // namespace qv7::handover
