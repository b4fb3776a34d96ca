// A port helper for tests: the real helper's process steps and server, over
// a simulated catalogue board instead of the machine's ports.
//   kev_sim_helper BOARD [LOCK-FILE]
#include <cstdio>
#include <memory>

#include "ports/helper_process.h"
#include "sim/board.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: kev_sim_helper BOARD [LOCK-FILE]\n");
    return 2;
  }
  kev::sim::BoardResult r = kev::sim::LoadCatalogueBoard(argv[1]);
  if (!r) {
    std::fprintf(stderr, "kev_sim_helper: %s\n", r.error().text().c_str());
    return 2;
  }
  const std::unique_ptr<kev::sim::SimBoard> board = r.take();
  kev::ports::HelperSetup setup;
  // Without a lock file of its own a test runs unlocked, apart from others.
  setup.lockPath = argc == 3 ? argv[2] : "";
  setup.sysRoot.clear();  // the simulated board has no kernel drivers
  return kev::ports::RunHelper(board->machine(), kev::PortAccessRefusal::None, 0, setup);
}
