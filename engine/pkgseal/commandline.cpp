#include "commandline.h"

#include "sealerror.h"

namespace Pkgseal {

CommandLine::CommandLine(int argc, char **argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty())
        throw SealError("no command given");
    parseCommand(arguments.front());
    if (m_command == Command::Help)
        return;
    bool optionsEnded = false;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (!optionsEnded && argument == "--")
            optionsEnded = true;
        else if (optionsEnded || argument.empty() || argument.front() != '-')
            m_packages.push_back(argument);
        else if (!parseOption(arguments, &i))
            throw SealError("unknown option " + argument);
    }
    checkComplete();
}

void CommandLine::parseCommand(const std::string &word)
{
    if (word == "sign")
        m_command = Command::Sign;
    else if (word == "delete")
        m_command = Command::Delete;
    else if (word == "verify")
        m_command = Command::Verify;
    else if (word == "dump")
        m_command = Command::Dump;
    else if (word == "help" || word == "-h" || word == "--help")
        m_command = Command::Help;
    else
        throw SealError("unknown command " + word);
}

bool CommandLine::parseOption(const std::vector<std::string> &arguments, size_t *index)
{
    const std::string &option = arguments[*index];
    std::string *value = nullptr;
    if (m_command == Command::Sign && (option == "-k" || option == "--key")) {
        value = &m_keyPath;
        m_hasKey = true;
    } else if (m_command == Command::Sign && (option == "-c" || option == "--cert")) {
        value = &m_certificatePath;
        m_hasCertificate = true;
    } else if (m_command == Command::Verify && option == "--root-cert") {
        value = &m_rootBundlePath;
    } else {
        return false;
    }
    if (*index + 1 >= arguments.size())
        throw SealError("option " + option + " needs a value");
    *value = arguments[++*index];
    return true;
}

void CommandLine::checkComplete() const
{
    if (m_command == Command::Sign && (!m_hasKey || !m_hasCertificate))
        throw SealError("sign needs -k KEY and -c CERT");
    if (m_packages.empty())
        throw SealError("no package given");
}

const char *CommandLine::usage()
{
    return "Usage: pkgseal sign -k KEY -c CERT PACKAGE...\n"
           "       pkgseal delete PACKAGE...\n"
           "       pkgseal verify [--root-cert BUNDLE] PACKAGE...\n"
           "       pkgseal dump PACKAGE...\n"
           "\n"
           "sign     adds a CMS signature made with the key and certificate (PEM) to each\n"
           "         package, after the signatures it already has\n"
           "delete   removes all signatures of each package\n"
           "verify   checks every signature of each package against the root certificates\n"
           "         of BUNDLE (default /etc/keys/public/root-ca-bundle.pem)\n"
           "dump     lists the signatures of each package\n"
           "\n"
           "sign and delete print one line per package once it is changed on disk; a package\n"
           "that is not changed keeps its old content. A package with several names (hard\n"
           "links) is replaced under the name given: its other names keep the old content,\n"
           "as with rpm's own signing. Packages are locked while they are read or changed,\n"
           "so concurrent calls on the same package take turns.\n";
}

} // namespace Pkgseal
