#include "sim/smbus_host.h"

#include <array>

namespace kev::sim {

namespace {

// How one family's host looks from the bus side: where its registers sit
// (register numbers: port offset from base, or the index of the SiS 5595
// index/data pair), what its status bits mean and how its control decodes.
struct HostModel {
  SmbusHostFamily family;
  uint16_t mapOffset;  // first port of the block, relative to base
  uint16_t mapCount;
  bool indexed;  // registers behind an index port (mapOffset) and a data port
  uint8_t status, busyReg, control, startReg, address, command, data0, data1;
  // Status bits.
  uint8_t busy, idle, done, noAck, collision, killed, writeOneClear;
  // Control: start bit (0: any write to startReg starts), protocol field and
  // its byte-data / word-data values, the kill bit and the time-out reset bit.
  uint8_t startBit, protocolMask, byteData, wordData, killBit, resetBit;
};

// PIIX4: HST_STS busy 01h, INTR 02h, DEV_ERR 04h, BUS_ERR 08h, FAILED 10h;
//   HST_CNT start 40h, protocol bits 4-2, KILL 02h.
// ALi M7101: status IDLE 04h, BUSY 08h, DONE 10h, DEV_ERR 20h, no response
//   40h, terminated 80h; control protocol bits 6-4, ABORT 02h, T_OUT reset
//   04h; any write to +02h starts.
// SiS 630: status +80h failed 02h, collision 04h, done 08h; host busy in bit 0
//   of +82h; host control +83h start 10h, size bits 2-0, kill 20h.
// SiS 5595: index 00h busy 02h, device error 10h, collision 20h, done 40h;
//   index 02h start 10h, size bits 3-1, kill 20h.
// AMD-756: GLOBAL_STATUS abort 01h, collision 02h, protocol error 04h,
//   host busy 08h, host cycle done 10h; GLOBAL_ENABLE cycle type bits 2-0,
//   host start 08h, abort 20h.
// clang-format off
constexpr std::array<HostModel, 5> kModels{{
    {.family = SmbusHostFamily::Piix4,
     .mapOffset = 0x00, .mapCount = 0x10, .indexed = false,
     .status = 0x00, .busyReg = 0x00, .control = 0x02, .startReg = 0x02,
     .address = 0x04, .command = 0x03, .data0 = 0x05, .data1 = 0x06,
     .busy = 0x01, .idle = 0x00, .done = 0x02, .noAck = 0x04,
     .collision = 0x08, .killed = 0x10, .writeOneClear = 0x1E,
     .startBit = 0x40, .protocolMask = 0x1C, .byteData = 0x08,
     .wordData = 0x0C, .killBit = 0x02, .resetBit = 0x00},
    {.family = SmbusHostFamily::Ali,
     .mapOffset = 0x00, .mapCount = 0x10, .indexed = false,
     .status = 0x00, .busyReg = 0x00, .control = 0x01, .startReg = 0x02,
     .address = 0x03, .command = 0x07, .data0 = 0x04, .data1 = 0x05,
     .busy = 0x08, .idle = 0x04, .done = 0x10, .noAck = 0x60,
     .collision = 0x80, .killed = 0x80, .writeOneClear = 0xF0,
     .startBit = 0x00, .protocolMask = 0x70, .byteData = 0x20,
     .wordData = 0x30, .killBit = 0x02, .resetBit = 0x04},
    {.family = SmbusHostFamily::Sis630,
     .mapOffset = 0x80, .mapCount = 0x10, .indexed = false,
     .status = 0x80, .busyReg = 0x82, .control = 0x83, .startReg = 0x83,
     .address = 0x84, .command = 0x85, .data0 = 0x88, .data1 = 0x89,
     .busy = 0x01, .idle = 0x00, .done = 0x08, .noAck = 0x02,
     .collision = 0x04, .killed = 0x00, .writeOneClear = 0x0E,
     .startBit = 0x10, .protocolMask = 0x07, .byteData = 0x02,
     .wordData = 0x03, .killBit = 0x20, .resetBit = 0x00},
    {.family = SmbusHostFamily::Sis5595,
     .mapOffset = 0x38, .mapCount = 0x02, .indexed = true,
     .status = 0x00, .busyReg = 0x00, .control = 0x02, .startReg = 0x02,
     .address = 0x04, .command = 0x05, .data0 = 0x11, .data1 = 0x12,
     .busy = 0x02, .idle = 0x00, .done = 0x40, .noAck = 0x10,
     .collision = 0x20, .killed = 0x00, .writeOneClear = 0xF0,
     .startBit = 0x10, .protocolMask = 0x0E, .byteData = 0x04,
     .wordData = 0x06, .killBit = 0x20, .resetBit = 0x00},
    {.family = SmbusHostFamily::Amd,
     .mapOffset = 0xE0, .mapCount = 0x10, .indexed = false,
     .status = 0xE0, .busyReg = 0xE0, .control = 0xE2, .startReg = 0xE2,
     .address = 0xE4, .command = 0xE8, .data0 = 0xE6, .data1 = 0xE7,
     .busy = 0x08, .idle = 0x00, .done = 0x10, .noAck = 0x04,
     .collision = 0x02, .killed = 0x01, .writeOneClear = 0x37,
     .startBit = 0x08, .protocolMask = 0x07, .byteData = 0x02,
     .wordData = 0x03, .killBit = 0x20, .resetBit = 0x00},
}};
// clang-format on

constexpr uint8_t kReadBit = 0x01;

class TableHost final : public SmbusHost {
 public:
  TableHost(const HostModel& model, uint16_t base, SmbusBus& bus)
      : m_(model), base_(base), bus_(bus) {}

  SmbusHostFamily family() const override { return m_.family; }
  uint16_t base() const override { return base_; }
  void setStuckBusy(bool stuck, bool survivesReset) override {
    stuck_ = stuck;
    stuckSurvivesReset_ = stuck && survivesReset;
  }
  uint32_t resets() const override { return resets_; }
  uint32_t starts() const override { return starts_; }

  uint8_t ioRead8(uint16_t port) override {
    const int offset = port - base_ - m_.mapOffset;
    if (!m_.indexed) return readReg(static_cast<uint8_t>(port - base_));
    return offset == 0 ? index_ : readReg(index_);
  }

  void ioWrite8(uint16_t port, uint8_t value) override {
    const int offset = port - base_ - m_.mapOffset;
    if (!m_.indexed)
      writeReg(static_cast<uint8_t>(port - base_), value);
    else if (offset == 0)
      index_ = value;
    else
      writeReg(index_, value);
  }

 private:
  bool busy() const { return stuck_ || pendingReads_ > 0; }

  uint8_t readReg(uint8_t reg) {
    if (reg == m_.status || reg == m_.busyReg) tick();
    uint8_t v = regs_[reg];
    if (reg == m_.busyReg && busy()) v |= m_.busy;
    if (reg == m_.status && m_.idle && !busy()) v |= m_.idle;
    return v;
  }

  void writeReg(uint8_t reg, uint8_t value) {
    if (reg == m_.status) {
      regs_[reg] &= static_cast<uint8_t>(~(value & m_.writeOneClear));
      return;
    }
    if (reg == m_.busyReg) {
      regs_[reg] = static_cast<uint8_t>(value & ~m_.busy);
      return;
    }
    if (reg == m_.control)
      writeControl(value);
    else if (reg != m_.startReg)
      regs_[reg] = value;
    if (reg == m_.startReg && (m_.startBit == 0 || (value & m_.startBit))) start();
  }

  void writeControl(uint8_t value) {
    regs_[m_.control] = static_cast<uint8_t>(value & ~m_.startBit);
    if (value & m_.killBit) reset(m_.killed);
    if (m_.resetBit && (value & m_.resetBit)) reset(0);
  }

  // Kill or time-out reset: the running transaction is dropped.
  void reset(uint8_t statusBits) {
    ++resets_;
    pendingReads_ = 0;
    if (!stuckSurvivesReset_) stuck_ = false;
    regs_[m_.status] |= statusBits;
  }

  void start() {
    if (busy()) return;
    ++starts_;
    const uint8_t protocol = regs_[m_.control] & m_.protocolMask;
    const auto slave = static_cast<uint8_t>(regs_[m_.address] >> 1);
    const bool read = regs_[m_.address] & kReadBit;
    const uint8_t cmd = regs_[m_.command];
    pendingData_ = {regs_[m_.data0], regs_[m_.data1]};
    SmbusResult r = SmbusResult::NoAck;
    if (protocol == m_.byteData) {
      r = read ? bus_.readByte(slave, cmd, pendingData_[0])
               : bus_.writeByte(slave, cmd, pendingData_[0]);
    } else if (protocol == m_.wordData) {
      uint16_t w = static_cast<uint16_t>((pendingData_[0] << 8) | pendingData_[1]);
      r = read ? bus_.readWord(slave, cmd, w) : bus_.writeWord(slave, cmd, w);
      pendingData_ = {static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w)};
    }
    pendingStatus_ = r == SmbusResult::Ok      ? m_.done
                     : r == SmbusResult::NoAck ? m_.noAck
                                               : m_.collision;
    pendingReads_ = kSmbusHostBusyReads;
  }

  // A status read while a transaction runs; the last one ends it.
  void tick() {
    if (pendingReads_ == 0 || --pendingReads_ > 0) return;
    regs_[m_.data0] = pendingData_[0];
    regs_[m_.data1] = pendingData_[1];
    regs_[m_.status] |= pendingStatus_;
  }

  const HostModel& m_;
  uint16_t base_;
  SmbusBus& bus_;
  std::array<uint8_t, 256> regs_{};
  uint8_t index_ = 0;
  bool stuck_ = false;
  bool stuckSurvivesReset_ = false;
  int pendingReads_ = 0;
  uint8_t pendingStatus_ = 0;
  std::array<uint8_t, 2> pendingData_{};
  uint32_t resets_ = 0;
  uint32_t starts_ = 0;
};

}  // namespace

SmbusHost& AddSmbusHost(SimMachine& m, SmbusHostFamily family, uint16_t base, SmbusBus& bus) {
  const HostModel* model = &kModels[0];
  for (const HostModel& candidate : kModels)
    if (candidate.family == family) model = &candidate;
  auto& host = m.own<TableHost>(*model, base, bus);
  m.map(static_cast<uint16_t>(base + model->mapOffset), model->mapCount, &host);
  return host;
}

}  // namespace kev::sim
