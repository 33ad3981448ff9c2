// Recordings of a device conversation: every report both ways with its time, in a text file a person can read,
// diff and send with a bug report (docs/reporting.md describes the format).
//
//   # qv7-recording 1
//   # program: qv7ctl 0.1.0
//   # device: unix:/tmp/tolka.sock
//   # masked: SerialNumber (identification), chip serial (reply 0x8A)
//   0.000512 > ff 55 02 00 ee 10 50 43
//   0.001377 < ff 5a 00 1a 80 ...
//
// '>' is a report to the device, '<' one from it; trailing zero bytes are left out (every report is padded to
// the device's report length). Comment lines ("# key: value") carry the identity and what happened to the
// recording; a reader skips any line it does not know, and a last line cut short by a killed program.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/hid_transport.h"

namespace qv7 {

enum class ReportDirection { ToDevice, FromDevice };

struct RecordedReport {
    double seconds = 0;  // since the recording began
    ReportDirection direction = ReportDirection::ToDevice;
    std::vector<uint8_t> bytes;  // as recorded: trailing zeros left out
    std::size_t line = 0;        // 1-based line in the file, for messages
};

struct Recording {
    std::vector<std::pair<std::string, std::string>> notes;  // "# key: value" lines, in order
    std::vector<RecordedReport> reports;
    std::vector<std::string> problems;  // lines that could not be read, with their number
};

// Reads a recording of at most kMaxRecordingBytes; false with `error` set when the file cannot be read at all.
bool readRecording(const std::string& path, Recording& out, std::string& error);
Recording parseRecording(std::string_view text);

// Serial numbers in the device's reports, replaced with placeholders of the same length (checksums fixed) so a
// recording can be shared: the SerialNumber of the identification message and the chip serial of reply 0x8A.
// The same value always gets the same placeholder, so a recording still shows when two values were equal.
class SerialMask {
public:
    // Rewrites one complete link packet from the device in place; true when something was masked.
    bool maskPacket(std::vector<uint8_t>& packet);
    static const char* describe() { return "SerialNumber (identification), chip serial (reply 0x8A)"; }

private:
    void replace(std::span<uint8_t> text);
    std::map<std::string, std::string> placeholders_;
};

class ReportRecorder {
public:
    static constexpr std::size_t kDefaultLimitBytes = 16u << 20;

    struct Settings {
        std::string path;
        std::string program;  // "qv7ctl 0.1.0"
        bool raw = false;     // keep serial numbers
        std::size_t limitBytes = kDefaultLimitBytes;
    };

    // Opens (truncates) the file and writes the header; false with `error` set when it cannot be created. A
    // recorder that was closed may be opened again, on another file.
    bool open(const Settings& settings, std::string& error);
    bool isOpen() const;
    ~ReportRecorder();

    // A "# key: value" line (the device's identity as it becomes known).
    void note(const std::string& key, const std::string& value);
    void record(ReportDirection direction, std::span<const uint8_t> report);
    // Ends the recording with a note; later reports are not written.
    void close(const std::string& why = {});

    // True once the size limit stopped the recording (it says so in the file and on `stopped`).
    bool limitReached() const;
    std::string path() const;

private:
    void writeReport(ReportDirection direction, double seconds, std::span<const uint8_t> report);
    void writeLine(const std::string& line);
    void flushHeld();

    mutable std::mutex mutex_;
    Settings settings_;
    std::FILE* file_ = nullptr;
    std::size_t written_ = 0;
    bool limitReached_ = false;
    std::chrono::steady_clock::time_point start_;
    SerialMask mask_;
    // Reports from the device that belong to a packet not yet complete: held until the packet is, so a serial
    // number split across reports is masked before any of it reaches the file.
    struct Held {
        double seconds;
        std::vector<uint8_t> bytes;
    };
    std::vector<Held> held_;
    std::size_t heldNeed_ = 0;  // bytes of the packet still to come
};

// Passes everything to `inner` and records what crosses it.
class RecordingTransport : public HidTransport {
public:
    RecordingTransport(std::unique_ptr<HidTransport> inner, std::shared_ptr<ReportRecorder> recorder);
    // Over a transport someone else owns and keeps alive for as long as this one.
    RecordingTransport(HidTransport& inner, std::shared_ptr<ReportRecorder> recorder);
    std::string describe() const override { return inner_->describe(); }
    std::size_t inputReportLength() const override { return inner_->inputReportLength(); }
    std::size_t outputReportLength() const override { return inner_->outputReportLength(); }
    bool write(std::span<const uint8_t> data) override;
    ReadStatus read(std::vector<uint8_t>& report, int timeoutMs) override;
    void interrupt() override { inner_->interrupt(); }

private:
    std::unique_ptr<HidTransport> owned_;
    HidTransport* inner_;
    std::shared_ptr<ReportRecorder> recorder_;
};

std::string hexBytes(std::span<const uint8_t> bytes);

}  // namespace qv7
