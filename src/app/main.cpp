#include "app/entry.h"

int main(int argc, char** argv) { return kev::app::RunProgram(argc, argv); }
