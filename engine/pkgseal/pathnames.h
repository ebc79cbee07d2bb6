#pragma once

#include <string>

namespace Pkgseal {

std::string directoryOf(const std::string &path);
std::string baseNameOf(const std::string &path);
// The path made absolute against the working folder, without resolving links.
std::string absolutePath(const std::string &path);

} // namespace Pkgseal
