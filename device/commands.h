// Application command and reply codes carried in data-session packets.
#pragma once

#include <cstdint>

namespace qv7::cmd {

// Panel commands.
constexpr uint8_t kSetPara = 0x01;
constexpr uint8_t kGetPara = 0x02;
constexpr uint8_t kSetMode = 0x03;
constexpr uint8_t kSetAdvanced = 0x04;
constexpr uint8_t kGetCpSerial = 0x0A;
constexpr uint8_t kClean = 0x0F;
constexpr uint8_t kUpdateStart = 0x10;
constexpr uint8_t kUpdateErase = 0x11;
constexpr uint8_t kUpdateData = 0x12;
constexpr uint8_t kUpdateOver = 0x13;
constexpr uint8_t kUpdateUnlock = 0x14;
constexpr uint8_t kUpdateUnlockCode = 0x15;
constexpr uint8_t kUpdateSelect = 0x16;
constexpr uint8_t kSetMix = 0x1A;
constexpr uint8_t kSetCharge = 0x1B;
constexpr uint8_t kSetRepPara = 0x21;
constexpr uint8_t kGetParaName = 0x22;

constexpr uint8_t kCleanArgument = 0xCA;

// Device replies: the command's code plus 0x80; 0x81 comes unasked.
constexpr uint8_t kReplyBattery = 0x81;
constexpr uint8_t kReplyPara = 0x82;
constexpr uint8_t kReplyCpSerial = 0x8A;
constexpr uint8_t kReplyClean = 0x8F;
constexpr uint8_t kReplyUpdateStart = 0x90;
constexpr uint8_t kReplyUpdateErase = 0x91;
constexpr uint8_t kReplyUpdateData = 0x92;
constexpr uint8_t kReplyUpdateOver = 0x93;
constexpr uint8_t kReplyUnlock = 0x94;
constexpr uint8_t kReplyUnlockCode = 0x95;
constexpr uint8_t kReplySelect = 0x96;
constexpr uint8_t kReplyParaName = 0xA2;

constexpr uint8_t kReplyMin = 0x81;
constexpr uint8_t kReplyMax = 0xA2;

// Quick keys and names.
constexpr int kQuickKeys = 3;
constexpr int kMaxNameBytes = 10;
constexpr int kNameArea = 20;
constexpr uint8_t kSetRepParaSetLength = 0x1E;

// Firmware transfer.
constexpr int kMaxImage = 196608;
constexpr int kBlockSize = 44;
constexpr int kChipSerialBytes = 30;
constexpr int kChallengeBytes = 12;
constexpr int kUnlockCodeBytes = 32;
constexpr int kSerialTailBytes = 10;

}  // namespace qv7::cmd
