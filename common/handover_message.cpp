#include "common/handover_message.h"

#include <charconv>
#include <cstring>

namespace qv7::handover {

namespace {
// "exit" and three numbers of bounded size.
constexpr std::size_t kMaxHeader = 64;

bool number(const std::string& text, std::size_t& at, std::size_t& value) {
    const char* begin = text.data() + at;
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(begin, end, value);
    if (r.ec != std::errc() || r.ptr == begin) return false;
    at = static_cast<std::size_t>(r.ptr - text.data());
    return true;
}
}  // namespace

std::optional<std::string> encodeRequest(const std::vector<std::string>& args,
                                         std::optional<std::string_view> attachment) {
    std::vector<std::string> all = args;
    if (attachment) {
        if (attachment->size() > kMaxAttachment) return std::nullopt;
        all.push_back(kAttachedOption);
        all.push_back(std::to_string(attachment->size()));
    }
    std::string line = kRunPrefix;
    for (const auto& a : all) {
        if (a.find('\0') != std::string::npos || a.find('\n') != std::string::npos) return std::nullopt;
        line += '\0';
        line += a;
    }
    line += '\n';
    if (line.size() > kMaxRequest) return std::nullopt;
    if (attachment) line += *attachment;
    return line;
}

Attachment takeAttachment(std::vector<std::string>& args) {
    Attachment a;
    if (args.size() < 2 || args[args.size() - 2] != kAttachedOption) return a;
    const std::string& text = args.back();
    std::size_t length = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), length);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || text.empty() || length > kMaxAttachment) {
        a.valid = false;
        return a;
    }
    a.length = length;
    args.resize(args.size() - 2);
    return a;
}

std::optional<std::vector<std::string>> decodeRequest(const std::string& line) {
    const std::size_t prefix = std::strlen(kRunPrefix);
    if (line.size() > kMaxRequest || line.size() < prefix + 1 || line.back() != '\n' ||
        line.compare(0, prefix, kRunPrefix) != 0)
        return std::nullopt;
    const std::string body = line.substr(prefix, line.size() - prefix - 1);
    if (body.find('\n') != std::string::npos) return std::nullopt;
    std::vector<std::string> args;
    if (body.empty()) return args;
    if (body[0] != '\0') return std::nullopt;
    std::size_t at = 1;
    for (;;) {
        const std::size_t end = body.find('\0', at);
        args.push_back(body.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return args;
}

std::string encodeReply(const Reply& reply) {
    const std::string out = reply.out.substr(0, kMaxReplyText), err = reply.err.substr(0, kMaxReplyText);
    return "exit " + std::to_string(reply.code) + " " + std::to_string(out.size()) + " " + std::to_string(err.size()) +
           "\n" + out + err;
}

ReplyReader::State ReplyReader::feed(const char* data, std::size_t size) {
    buffer_.append(data, size);
    if (!headerRead_) {
        const std::size_t newline = buffer_.find('\n');
        if (newline == std::string::npos) return buffer_.size() > kMaxHeader ? State::Bad : State::More;
        const std::string header = buffer_.substr(0, newline);
        buffer_.erase(0, newline + 1);
        std::size_t at = 5, code = 0;
        if (header.compare(0, 5, "exit ") != 0 || !number(header, at, code) || code > 255 || at >= header.size() ||
            header[at++] != ' ' || !number(header, at, outLen_) || at >= header.size() || header[at++] != ' ' ||
            !number(header, at, errLen_) || at != header.size() || outLen_ > kMaxReplyText || errLen_ > kMaxReplyText)
            return State::Bad;
        reply_.code = static_cast<int>(code);
        headerRead_ = true;
    }
    if (buffer_.size() > outLen_ + errLen_) return State::Bad;
    if (buffer_.size() < outLen_ + errLen_) return State::More;
    reply_.out = buffer_.substr(0, outLen_);
    reply_.err = buffer_.substr(outLen_);
    return State::Done;
}

}  // namespace qv7::handover
