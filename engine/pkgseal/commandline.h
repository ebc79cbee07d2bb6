#pragma once

#include <string>
#include <vector>

namespace Pkgseal {

// The parsed command line: pkgseal sign -k KEY -c CERT PKG..., pkgseal delete PKG...,
// pkgseal verify [--root-cert BUNDLE] PKG..., pkgseal dump PKG...
class CommandLine
{
public:
    enum class Command { Sign, Delete, Verify, Dump, Help };

    static constexpr const char *DefaultRootBundle = "/etc/keys/public/root-ca-bundle.pem";

    // Throws SealError with a usage message when the arguments are not a valid command.
    CommandLine(int argc, char **argv);

    Command command() const { return m_command; }
    const std::string &keyPath() const { return m_keyPath; }
    const std::string &certificatePath() const { return m_certificatePath; }
    const std::string &rootBundlePath() const { return m_rootBundlePath; }
    const std::vector<std::string> &packages() const { return m_packages; }

    static const char *usage();

private:
    void parseCommand(const std::string &word);
    bool parseOption(const std::vector<std::string> &arguments, size_t *index);
    void checkComplete() const;

    Command m_command = Command::Help;
    std::string m_keyPath;
    std::string m_certificatePath;
    std::string m_rootBundlePath = DefaultRootBundle;
    bool m_hasKey = false;
    bool m_hasCertificate = false;
    std::vector<std::string> m_packages;
};

} // namespace Pkgseal
