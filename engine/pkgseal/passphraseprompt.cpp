#include "passphraseprompt.h"

#include <openssl/crypto.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace Pkgseal {

PassphrasePrompt::PassphrasePrompt(const std::string &keyPath)
    : m_keyPath(keyPath)
{}

PassphrasePrompt::~PassphrasePrompt()
{
    OPENSSL_cleanse(m_passphrase, sizeof(m_passphrase));
}

int PassphrasePrompt::callback(char *buffer, int size, int /*writing*/, void *userData)
{
    return static_cast<PassphrasePrompt *>(userData)->answer(buffer, size);
}

int PassphrasePrompt::answer(char *buffer, int size)
{
    // OpenSSL may try several decoders on one key; each gets the answer already given.
    if (!m_asked) {
        m_asked = true;
        std::printf("%s %s: ", PromptStart, m_keyPath.c_str());
        std::fflush(stdout);
        readLine();
    }
    if (m_endOfInput || m_tooLong || m_length > size_t(size))
        return -1;
    std::memcpy(buffer, m_passphrase, m_length);
    return int(m_length);
}

// Reads byte by byte from the descriptor, so that no copy of the pass phrase stays in a
// stdio buffer.
void PassphrasePrompt::readLine()
{
    bool gotAny = false;
    for (;;) {
        char c = 0;
        const ssize_t count = ::read(STDIN_FILENO, &c, 1);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            m_endOfInput = !gotAny;
            break;
        }
        gotAny = true;
        if (c == '\n')
            break;
        if (m_length == Capacity) {
            m_tooLong = true;
            continue;
        }
        m_passphrase[m_length++] = c;
    }
    if (m_length > 0 && m_passphrase[m_length - 1] == '\r')
        m_passphrase[--m_length] = 0;
}

} // namespace Pkgseal
