// Writing, masking and reading device recordings.
#include "device/report_recording.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/small_file.h"
#include "device/commands.h"
#include "device/link_packet.h"

namespace qv7 {

namespace {

constexpr std::size_t kMaxRecordingBytes = 64u << 20;
constexpr uint16_t kSerialNumberParameter = 3;
constexpr std::size_t kChipSerialBytes = 30;

std::size_t significantLength(std::span<const uint8_t> r) {
    std::size_t n = r.size();
    while (n > 1 && r[n - 1] == 0) --n;
    return n;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::vector<uint8_t>> parseHex(std::string_view text) {
    std::vector<uint8_t> out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size()) return std::nullopt;
        const int hi = hexValue(text[i]), lo = hexValue(text[i + 1]);
        if (hi < 0 || lo < 0 || out.size() >= link::kMaxReport) return std::nullopt;
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
        i += 2;
        if (i < text.size() && text[i] != ' ') return std::nullopt;
    }
    if (out.empty()) return std::nullopt;
    return out;
}

// The payload checksum is the packet's last byte; the header (and its checksum) never changes here.
void fixPayloadChecksum(std::vector<uint8_t>& p) {
    if (p.size() <= link::kHeaderSize + 1) return;
    p.back() = link::checksum(std::span<const uint8_t>(p).subspan(link::kHeaderSize, p.size() - link::kHeaderSize - 1));
}

}  // namespace

std::string hexBytes(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (uint8_t b : bytes) {
        if (!out.empty()) out += ' ';
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

// --- masking

void SerialMask::replace(std::span<uint8_t> text) {
    // Up to the first 0: the bytes after it are padding the device never shows.
    std::size_t n = 0;
    while (n < text.size() && text[n] != 0) ++n;
    if (n == 0) return;
    const std::string value(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
    auto [it, added] = placeholders_.try_emplace(value);
    if (added) {
        const std::string number = std::to_string(placeholders_.size());
        std::string p = "S" + std::string(n > number.size() + 1 ? n - number.size() - 1 : 0, '0') + number;
        it->second = p.substr(p.size() > n ? p.size() - n : 0);
    }
    std::memcpy(text.data(), it->second.data(), n);
}

bool SerialMask::maskPacket(std::vector<uint8_t>& p) {
    if (!link::isValid(p)) return false;
    const uint8_t session = p[link::kOffSession];
    if (session == link::kSessionControl) {
        const auto message = link::parseControlMessage(p);
        if (!message || message->id != link::kMsgIdentificationInformation) return false;
        auto parameters = message->parameters();
        if (!parameters) return false;
        // Same walk as the driver's: each parameter is length (header included), identifier, data.
        std::size_t at = static_cast<std::size_t>(parameters->data() - p.data());
        const std::size_t end = at + parameters->size();
        bool masked = false;
        while (at + link::kParameterHeader <= end) {
            const std::size_t length = ByteReader(p, at).u16be();
            const uint16_t id = ByteReader(p, at + 2).u16be();
            if (length < link::kParameterHeader || at + length > end) break;
            if (id == kSerialNumberParameter) {
                replace(std::span<uint8_t>(p).subspan(at + link::kParameterHeader, length - link::kParameterHeader));
                masked = true;
            }
            at += length;
        }
        if (masked) fixPayloadChecksum(p);
        return masked;
    }
    if (session == link::kSessionData) {
        const auto data = link::dataPayload(p);
        if (!data || data->application.size() < 2 || data->application[0] != cmd::kReplyCpSerial) return false;
        const std::size_t at = static_cast<std::size_t>(data->application.data() - p.data()) + 1;
        replace(std::span<uint8_t>(p).subspan(at, std::min(kChipSerialBytes, data->application.size() - 1)));
        fixPayloadChecksum(p);
        return true;
    }
    return false;
}

// --- writing

ReportRecorder::~ReportRecorder() { close(); }

bool ReportRecorder::open(const Settings& settings, std::string& error) {
    std::lock_guard lock(mutex_);
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    settings_ = settings;
    written_ = 0;
    limitReached_ = false;
    held_.clear();
    heldNeed_ = 0;
    file_ = std::fopen(settings.path.c_str(), "wb");
    if (file_ == nullptr) {
        error = "cannot create the recording " + settings.path + ": " + std::strerror(errno);
        return false;
    }
    start_ = std::chrono::steady_clock::now();
    writeLine("# qv7-recording 1");
    if (!settings.program.empty()) writeLine("# program: " + settings.program);
    writeLine(settings.raw ? std::string("# masked: nothing (recorded with --record-raw)")
                           : std::string("# masked: ") + SerialMask::describe());
    writeLine("# limit: " + std::to_string(settings.limitBytes) + " bytes");
    return true;
}

std::string ReportRecorder::path() const {
    std::lock_guard lock(mutex_);
    return settings_.path;
}

bool ReportRecorder::isOpen() const {
    std::lock_guard lock(mutex_);
    return file_ != nullptr;
}

bool ReportRecorder::limitReached() const {
    std::lock_guard lock(mutex_);
    return limitReached_;
}

void ReportRecorder::note(const std::string& key, const std::string& value) {
    std::lock_guard lock(mutex_);
    std::string clean;
    for (char c : value) clean += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '?' : c;
    writeLine("# " + key + ": " + clean);
}

void ReportRecorder::writeLine(const std::string& line) {
    if (file_ == nullptr) return;
    // The note that says why the recording stopped still fits: the limit leaves room for one line.
    if (written_ + line.size() + 1 > settings_.limitBytes) {
        limitReached_ = true;
        const std::string stop =
            "# stopped: the recording reached its limit of " + std::to_string(settings_.limitBytes) + " bytes\n";
        std::fwrite(stop.data(), 1, stop.size(), file_);
        std::fclose(file_);
        file_ = nullptr;
        return;
    }
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fputc('\n', file_);
    // Line by line: a program killed mid-conversation leaves every line it had recorded.
    std::fflush(file_);
    written_ += line.size() + 1;
}

void ReportRecorder::writeReport(ReportDirection direction, double seconds, std::span<const uint8_t> report) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.6f %c ", seconds, direction == ReportDirection::ToDevice ? '>' : '<');
    writeLine(stamp + hexBytes(report.first(significantLength(report))));
}

void ReportRecorder::flushHeld() {
    if (!held_.empty() && !settings_.raw) {
        // The packet, masked, laid back over the reports it came in.
        std::vector<uint8_t> packet;
        for (const Held& h : held_) packet.insert(packet.end(), h.bytes.begin(), h.bytes.end());
        const std::size_t total = link::lengthField(packet);
        if (total <= packet.size()) {
            std::vector<uint8_t> p(packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(total));
            if (mask_.maskPacket(p)) {
                std::copy(p.begin(), p.end(), packet.begin());
                std::size_t at = 0;
                for (Held& h : held_) {
                    std::copy_n(packet.begin() + static_cast<std::ptrdiff_t>(at), h.bytes.size(), h.bytes.begin());
                    at += h.bytes.size();
                }
            }
        }
    }
    for (const Held& h : held_) writeReport(ReportDirection::FromDevice, h.seconds, h.bytes);
    held_.clear();
    heldNeed_ = 0;
}

void ReportRecorder::record(ReportDirection direction, std::span<const uint8_t> report) {
    std::lock_guard lock(mutex_);
    if (file_ == nullptr || report.empty()) return;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    if (direction == ReportDirection::ToDevice) {
        writeReport(direction, seconds, report);
        return;
    }
    const std::vector<uint8_t> bytes(
        report.begin(), report.begin() + static_cast<std::ptrdiff_t>(std::min(report.size(), link::kMaxReport)));
    if (heldNeed_ > 0) {
        held_.push_back({seconds, bytes});
        heldNeed_ = heldNeed_ > bytes.size() ? heldNeed_ - bytes.size() : 0;
        // A packet longer than the driver would hold is never masked: it is dropped unread on both sides.
        if (heldNeed_ == 0 || held_.size() * link::kMaxReport > link::kReassemblySize) flushHeld();
        return;
    }
    const bool start = bytes.size() >= 4 && bytes[0] == link::kStartHigh && bytes[1] == link::kStartLow;
    const std::size_t total = start ? link::lengthField(bytes) : 0;
    held_.push_back({seconds, bytes});
    if (total > bytes.size() && total <= link::kReassemblySize) {
        heldNeed_ = total - bytes.size();
        return;
    }
    flushHeld();
}

void ReportRecorder::close(const std::string& why) {
    std::lock_guard lock(mutex_);
    if (file_ == nullptr) return;
    flushHeld();
    if (!why.empty()) writeLine("# stopped: " + why);
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

// --- the decorator

RecordingTransport::RecordingTransport(std::unique_ptr<HidTransport> inner, std::shared_ptr<ReportRecorder> recorder)
    : RecordingTransport(*inner, std::move(recorder)) {
    owned_ = std::move(inner);
}

RecordingTransport::RecordingTransport(HidTransport& inner, std::shared_ptr<ReportRecorder> recorder)
    : inner_(&inner), recorder_(std::move(recorder)) {
    recorder_->note("device", inner_->describe());
    recorder_->note("report lengths", std::to_string(inner_->inputReportLength()) + " in, " +
                                          std::to_string(inner_->outputReportLength()) + " out");
    for (const auto& [what, value] : inner_->identity()) recorder_->note(what, value);
}

bool RecordingTransport::write(std::span<const uint8_t> data) {
    recorder_->record(ReportDirection::ToDevice, data);
    return inner_->write(data);
}

ReadStatus RecordingTransport::read(std::vector<uint8_t>& report, int timeoutMs) {
    const ReadStatus status = inner_->read(report, timeoutMs);
    if (status == ReadStatus::Report) recorder_->record(ReportDirection::FromDevice, report);
    else if (status == ReadStatus::Gone) recorder_->note("event", "the device went away");
    return status;
}

// --- reading

Recording parseRecording(std::string_view text) {
    Recording r;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        const bool complete = nl != std::string_view::npos;
        std::string_view line = text.substr(0, complete ? nl : text.size());
        text.remove_prefix(complete ? nl + 1 : text.size());
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        if (line[0] == '#') {
            line.remove_prefix(1);
            while (!line.empty() && line[0] == ' ') line.remove_prefix(1);
            const std::size_t colon = line.find(": ");
            if (colon == std::string_view::npos) r.notes.emplace_back(std::string(line), std::string());
            else r.notes.emplace_back(std::string(line.substr(0, colon)), std::string(line.substr(colon + 2)));
            continue;
        }
        // "SECONDS DIR HEX..."
        const std::size_t s1 = line.find(' ');
        if (s1 == std::string_view::npos || s1 + 3 > line.size() || line[s1 + 2] != ' ' ||
            (line[s1 + 1] != '>' && line[s1 + 1] != '<')) {
            // A killed program's last line may be cut short; say so only when it is not the last.
            if (complete) r.problems.push_back("line " + std::to_string(lineNumber) + ": not a report line");
            continue;
        }
        RecordedReport rep;
        char* end = nullptr;
        const std::string stamp(line.substr(0, s1));
        rep.seconds = std::strtod(stamp.c_str(), &end);
        auto bytes = parseHex(line.substr(s1 + 3));
        if (end == stamp.c_str() || *end != '\0' || !bytes) {
            if (complete) r.problems.push_back("line " + std::to_string(lineNumber) + ": unreadable report");
            continue;
        }
        rep.direction = line[s1 + 1] == '>' ? ReportDirection::ToDevice : ReportDirection::FromDevice;
        rep.bytes = std::move(*bytes);
        rep.line = lineNumber;
        r.reports.push_back(std::move(rep));
    }
    return r;
}

bool readRecording(const std::string& path, Recording& out, std::string& error) {
    const SmallFile f = readSmallFile(path, kMaxRecordingBytes);
    switch (f.status) {
    case SmallFile::Status::Ok:
        out = parseRecording(std::string_view(reinterpret_cast<const char*>(f.bytes.data()), f.bytes.size()));
        return true;
    case SmallFile::Status::TooLarge:
        error = path + " is larger than " + std::to_string(kMaxRecordingBytes) + " bytes";
        return false;
    case SmallFile::Status::Unreadable:
        error = path + ": " + std::strerror(f.error);
        return false;
    default:
        error = path + " is not a readable file";
        return false;
    }
}

}  // namespace qv7
