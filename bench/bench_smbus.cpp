// Cost of one successful SMBus byte read per host family, simulated machine.
#include <benchmark/benchmark.h>

#include <optional>

#include "hw/usmbus.h"
#include "sim/smbus_host.h"

namespace {

using kev::sim::SmbusHostFamily;

class Register : public kev::sim::SmbusSlave {
 public:
  std::optional<uint8_t> smbReadByte(uint8_t) override { return 0x42; }
  bool smbWriteByte(uint8_t, uint8_t) override { return true; }
};

struct Family {
  SmbusHostFamily family;
  uint32_t pmId;
};

constexpr Family kFamilies[] = {
    {SmbusHostFamily::Piix4, 0x71138086},  {SmbusHostFamily::Ali, 0x710110B9},
    {SmbusHostFamily::Sis630, 0x06301039}, {SmbusHostFamily::Sis5595, 0x00081039},
    {SmbusHostFamily::Amd, 0x740B1022},
};
constexpr uint16_t kBase = 0x5000;
constexpr uint32_t kSlave = 0x2D;

void BM_SmbusReadByte(benchmark::State& state, int family) {
  const Family& f = kFamilies[family];
  kev::sim::SimMachine m;
  kev::sim::SmbusBus bus;
  Register chip;
  bus.attach(kSlave, &chip);
  kev::sim::AddSmbusHost(m, f.family, kBase, bus);
  m.resetAccessCount();
  for (auto _ : state) {
    const int32_t v = kev::SMBrdb(m, f.pmId, kBase, kSlave, 0x20);
    if (v < 0) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(v);
  }
  state.counters["port_accesses"] =
      benchmark::Counter(static_cast<double>(m.accessCount()), benchmark::Counter::kAvgIterations);
}

BENCHMARK_CAPTURE(BM_SmbusReadByte, piix4, 0);
BENCHMARK_CAPTURE(BM_SmbusReadByte, ali, 1);
BENCHMARK_CAPTURE(BM_SmbusReadByte, sis630, 2);
BENCHMARK_CAPTURE(BM_SmbusReadByte, sis5595, 3);
BENCHMARK_CAPTURE(BM_SmbusReadByte, amd, 4);

}  // namespace

BENCHMARK_MAIN();
