// The host's log: notes of what a role did that the user should know but
// that is no failure (a text field cut to 254 characters, a datum taken as
// WGS 1984). Kept in memory for the host's window and tests, and written to
// standard error.
#pragma once

#include <string>
#include <vector>

namespace host {

void HostLog(const std::string& line);
std::vector<std::string> HostLogLines();
void ClearHostLog();

}  // namespace host
