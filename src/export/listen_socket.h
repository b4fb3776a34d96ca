// Where `kevatra-cli serve` listens, and the listening socket itself.
#pragma once

#include <string>

namespace kev::metrics {

// "ADDR:PORT" (an IPv6 address in brackets) or ":PORT" for every interface.
struct ListenAddress {
  std::string host = "127.0.0.1";  // empty: every interface
  int port = 9715;
};
// False with error set when the text is no such pair.
bool ParseListenAddress(const std::string& text, ListenAddress& out, std::string& error);

// "HOST:PORT" as a URL writes it; "[::]" for every interface.
std::string HostPort(const ListenAddress& where, int port);

// A non-blocking socket listening there (one listener per port: a second
// server on a port in use fails), or -1 with error saying what is wrong:
// the name does not resolve, the address is not on this machine, the port
// is in use, or there is no permission.
int OpenListenSocket(const ListenAddress& where, std::string& error);

// The port a listening socket is bound to, or 0.
int BoundPort(int fd);

}  // namespace kev::metrics
