// The hand-over on the panel's local socket: a qv7ctl command carried out by the panel that holds the Tolka.
//
//   request  "run" then each argument preceded by a NUL byte, ended by "\n"; at most kMaxRequest bytes, and no
//            argument holds a NUL or a newline.
//   reply    "exit CODE OUTLEN ERRLEN\n", then OUTLEN bytes for standard output and ERRLEN for standard error;
//            each at most kMaxReplyText. The panel then hangs up.
//
//   attachment  a request whose last two arguments are "--attached" and a length (at most kMaxAttachment) is
//            followed by that many bytes: the document of `preset import`, which a request line cannot hold.
//
// A request the panel does not take (unknown, malformed, too long) gets a reply with exit code 2 and the reason
// on standard error. The older "show\n" request of a second panel start shares the socket and is unchanged.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv7::handover {

inline constexpr std::size_t kMaxRequest = 4096;
inline constexpr std::size_t kMaxReplyText = 65536;
inline constexpr char kRunPrefix[] = "run";
inline constexpr std::size_t kMaxAttachment = 1024 * 1024;
inline constexpr char kAttachedOption[] = "--attached";
// A preset command names the para.bin qv7ctl would use; a panel that keeps another one answers kOtherLibrary
// (never an exit code of qv7ctl's own), and qv7ctl runs the command itself or says why it cannot.
inline constexpr char kLibraryOption[] = "--library";
inline constexpr int kOtherLibrary = 64;

// qv7ctl's exit codes a reply may carry (the command line defines them; these are the same values).
inline constexpr int kOk = 0, kFailed = 1, kUsage = 2, kNoDevice = 3, kInUse = 4;

struct Reply {
    int code = kFailed;
    std::string out;
    std::string err;
};

// Empty when the arguments cannot be carried (a NUL or newline in one, too long altogether, or an attachment past
// kMaxAttachment). An attachment adds its two arguments and follows the line.
std::optional<std::string> encodeRequest(const std::vector<std::string>& args,
                                         std::optional<std::string_view> attachment = std::nullopt);
// The arguments of a whole request line (its "\n" included); nothing when it is not a run request.
std::optional<std::vector<std::string>> decodeRequest(const std::string& line);

// What a decoded request says about an attachment: none, a length (its two arguments taken off `args`), or a
// malformed announcement (a length that is not a number of at most kMaxAttachment).
struct Attachment {
    bool valid = true;
    std::optional<std::size_t> length;
};
Attachment takeAttachment(std::vector<std::string>& args);

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
