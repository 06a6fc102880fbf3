// A request to the HA server stand-in's control socket of the virtual
// home (sim/servers/world.cpp): one line out, the whole answer back. The
// answer's first line is "ok" or "refused"; what follows is the listing,
// what was reported, or why the line was refused.
#pragma once

#include <string>

namespace simdevice {

enum class Answer { Ok, Refused, Unreachable };

// Sends `request` to the socket at `path` and reads the answer until the
// server closes (at most 30 s). Unreachable: no server listens there (the
// text says why); otherwise *text is the answer after its first line.
Answer ask(const std::string& path, const std::string& request, std::string* text);

}  // namespace simdevice
