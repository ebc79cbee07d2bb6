#include "pathnames.h"

#include <climits>
#include <libgen.h>
#include <unistd.h>
#include <vector>

namespace Pkgseal {

std::string directoryOf(const std::string &path)
{
    std::vector<char> copy(path.begin(), path.end());
    copy.push_back('\0');
    return ::dirname(copy.data());
}

std::string baseNameOf(const std::string &path)
{
    std::vector<char> copy(path.begin(), path.end());
    copy.push_back('\0');
    return ::basename(copy.data());
}

std::string absolutePath(const std::string &path)
{
    if (!path.empty() && path.front() == '/')
        return path;
    char workingFolder[PATH_MAX];
    if (!::getcwd(workingFolder, sizeof(workingFolder)))
        return path;
    return std::string(workingFolder) + "/" + path;
}

} // namespace Pkgseal
