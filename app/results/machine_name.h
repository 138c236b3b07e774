#pragma once
// The name a result gives its machine, so that many machines' runs in one history can be told
// apart without saying whose they are: the user's own (--machine-name), or by default a salted
// hash of the system's machine id, which names the same machine the same way every time and
// cannot be turned back into the id. The host name is kept only when the user asks for it.
#include <nlohmann/json.hpp>

#include <string>

namespace asmpic::app {

// "m-" and 16 hexadecimal digits of SHA-256 over this program's salt and `id` (surrounding blanks
// ignored); empty for an empty id.
std::string HashedMachineId(const std::string& id);

// The default name of this machine: the hash of etc/machine-id under `root` ("/" on a real
// machine), else of var/lib/dbus/machine-id, else of the host name (hashed too); "unknown" when
// none of them can be read.
std::string DefaultMachineName(const std::string& root = "/");

// This machine's host name; empty when the system does not say.
std::string HostName();

// The name a result document gives its machine: machine.name where it has one; documents made
// before names were kept are named by their processor model (their only clue to the machine), or
// "unknown" without one.
std::string DocumentMachineName(const nlohmann::ordered_json& document);

}  // namespace asmpic::app
