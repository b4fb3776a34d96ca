// kevatra-ports: the one program that holds port access. Kevatra's programs
// start it and send it their operations; it takes no options.
#include <cstdio>
#include <vector>

#include "hw/realports.h"
#include "ports/helper_process.h"

int main(int argc, char**) {
  if (argc > 1) {
    std::fprintf(stderr, "kevatra-ports: takes no options; Kevatra's programs start it\n");
    return 2;
  }
  kev::RealPorts ports;
  ports.requestAccess();
  kev::ports::HelperSetup setup;
  setup.grant = [&ports](const std::vector<kev::ports::PortRange>& ranges) {
    for (const kev::ports::PortRange& r : ranges) {
      if (!ports.grant(r.first, r.last)) return false;
    }
    return true;
  };
  return kev::ports::RunHelper(ports, ports.refusal(), ports.accessErrno(), setup);
}
