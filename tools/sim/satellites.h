#pragma once
// "quillon-sim satellites": plays every station of one radio network on one line until the PC
// closes it or SIGTERM/SIGINT arrives.
namespace sim {

// Runs the mode with the whole command line (argv[1] is "satellites"); returns the exit code.
int RunSatellites(int argc, char** argv);

}  // namespace sim
