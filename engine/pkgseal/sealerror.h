#pragma once

#include <stdexcept>
#include <string>

namespace Pkgseal {

// A failure that ends the current operation with a message for the user.
class SealError : public std::runtime_error
{
public:
    explicit SealError(const std::string &message)
        : std::runtime_error(message)
    {}
};

// Thrown by the readers for any package that is not a well-formed RPM file.
class FormatError : public SealError
{
public:
    explicit FormatError(const std::string &message)
        : SealError(message)
    {}
};

} // namespace Pkgseal
