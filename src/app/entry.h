// The desktop program's entry: port access, single instance, the hidden
// monitor window and the event loop.
#pragma once

namespace kev::app {

int RunProgram(int argc, char** argv);

}  // namespace kev::app
