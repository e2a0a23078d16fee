// `quorvel msg <command> [args…]`: sends one command to the instance running on $DISPLAY over its
// control socket (platform/linux/ControlSocket) and prints the answer.
#pragma once

namespace quorvel {

// `argv[1]` is "msg". Exit status: 0 done; 1 no running instance or the command failed; 2 an
// unknown command or wrong arguments (checked here first, so no instance is needed for that).
int runMessageClient(int argc, char** argv);

} // namespace quorvel
