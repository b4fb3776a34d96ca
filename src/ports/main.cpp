// kevatra-ports: the one program that holds port access. Kevatra's programs
// start it and send it their port accesses; it takes no options.
#include <cstdio>

#include "hw/realports.h"
#include "ports/helper_process.h"

int main(int argc, char**) {
  if (argc > 1) {
    std::fprintf(stderr, "kevatra-ports: takes no options; Kevatra's programs start it\n");
    return 2;
  }
  kev::RealPorts ports;
  ports.requestAccess();
  return kev::ports::RunHelper(ports, ports.refusal(), ports.accessErrno());
}
