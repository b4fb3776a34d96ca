// Port I/O through the port helper: the program holds no privilege; the
// helper (kevatra-ports) holds port access and runs each access through its
// policy.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hw/portio.h"
#include "ports/protocol.h"

namespace kev::ports {

// The helper next to the running program, else where it is installed.
std::string DefaultHelperPath();

// Starts the helper on requestAccess() and sends it whole operations.
// Writes are gathered and go with the next read, in their order. Inside a
// batch (a sampling tick) the reads the same batch made last time go in the
// first message, so a steady tick is one round trip. Each call is whole
// when several threads use the ports. Start it before the program sets
// no-new-privileges (or the helper's file capability does not apply) and
// from the thread that lives as long as the program: the helper dies with
// that thread.
class HelperPorts : public OpsOnlyPorts {
 public:
  // args: for a test helper only; the installed helper takes none.
  explicit HelperPorts(std::string helperPath = DefaultHelperPath(),
                       std::vector<std::string> args = {});
  ~HelperPorts() override;
  HelperPorts(const HelperPorts&) = delete;
  HelperPorts& operator=(const HelperPorts&) = delete;

  // Starts the helper and greets it once; false with a reason when the
  // helper is missing, may not be run by this user, or got no port access.
  bool requestAccess() override;
  std::string refusalReason() const override;

  // Without a working helper, or while another program holds the
  // hardware, reads return all ones and writes vanish. The first time the
  // helper is found gone is reported on stderr.
  void runOps(std::span<const HwOp> ops, std::span<uint32_t> results) override;
  void beginBatch(uint32_t label) override;
  void endBatch() override;

  bool smbusThroughKernel() const override;

  pid_t helperPid() const;
  // Messages in which the helper refused something.
  uint64_t refusals() const;
  // Messages the helper could not run because another program held the
  // hardware for longer than it waits.
  uint64_t busyReplies() const;
  // Messages exchanged with the helper since the start.
  uint64_t roundTrips() const;
  // The helper ended while in use.
  bool lost() const;

 private:
  enum class State { NotAsked, Granted, Refused };
  // A batch's ops as they were made last time, and how far this run of it
  // has followed them.
  struct Batch {
    uint32_t label = 0;
    std::vector<HwOp> last;
    std::vector<HwOp> now;
    bool following = false;
  };

  bool live() const { return state_ == State::Granted && !lost_; }
  std::string startHelper();
  std::string greet();
  uint32_t runOne(const HwOp& op);
  void sendAll(std::span<const HwOp> ops, std::span<uint32_t> results);
  // Sends the gathered ops with read (and, while a batch follows its last
  // run, the reads after it) and returns read's value.
  uint32_t fetch(const HwOp& read);
  // Sends ops; their values, or nullopt when the helper is gone.
  std::optional<std::vector<uint32_t>> roundTrip(const std::vector<HwOp>& ops);
  void sendPending();
  void lose();
  void stopHelper();

  mutable std::mutex mutex_;
  std::string path_;
  std::vector<std::string> args_;
  State state_ = State::NotAsked;
  std::string reason_;
  int fd_ = -1;
  pid_t pid_ = -1;
  std::vector<HwOp> pending_;
  // Values read ahead for the batch, in the order it will ask for them.
  std::deque<std::pair<HwOp, uint32_t>> ahead_;
  std::vector<std::byte> reply_;  // the largest reply, made once
  std::vector<Batch> batches_;
  Batch* batch_ = nullptr;  // into batches_, which never grows while one runs
  int batchDepth_ = 0;
  bool batchBusy_ = false;  // another program held the hardware this batch
  uint64_t refusals_ = 0;
  uint64_t busy_ = 0;
  uint64_t roundTrips_ = 0;
  bool lost_ = false;
  bool kernelSmbus_ = false;
};

}  // namespace kev::ports
