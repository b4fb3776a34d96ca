// A port helper for tests: the real helper's process steps and server, over
// a simulated catalogue board instead of the machine's ports.
//   kev_sim_helper BOARD
#include <cstdio>
#include <memory>

#include "ports/helper_process.h"
#include "sim/board.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kev_sim_helper BOARD\n");
    return 2;
  }
  kev::sim::BoardResult r = kev::sim::LoadCatalogueBoard(argv[1]);
  if (!r) {
    std::fprintf(stderr, "kev_sim_helper: %s\n", r.error().text().c_str());
    return 2;
  }
  const std::unique_ptr<kev::sim::SimBoard> board = r.take();
  return kev::ports::RunHelper(board->machine(), kev::PortAccessRefusal::None, 0);
}
