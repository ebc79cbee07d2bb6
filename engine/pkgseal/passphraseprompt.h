#pragma once

#include <cstddef>

namespace Pkgseal {

// Asks for the pass phrase of an encrypted key on the standard streams: the prompt goes to
// standard output without a line feed, the answer is one line of standard input. The pass
// phrase is asked once, kept only as long as the prompt object lives, and wiped then.
class PassphrasePrompt
{
public:
    static constexpr const char *PromptText = "Enter passphrase for binaries key: ";

    PassphrasePrompt() = default;
    ~PassphrasePrompt();
    PassphrasePrompt(const PassphrasePrompt &) = delete;
    PassphrasePrompt &operator=(const PassphrasePrompt &) = delete;

    // The pem_password_cb of OpenSSL; userData is the prompt object.
    static int callback(char *buffer, int size, int writing, void *userData);

    bool wasAsked() const { return m_asked; }
    bool reachedEndOfInput() const { return m_endOfInput; }
    bool wasTooLong() const { return m_tooLong; }

private:
    static constexpr size_t Capacity = 1024;

    int answer(char *buffer, int size);
    void readLine();

    char m_passphrase[Capacity];
    size_t m_length = 0;
    bool m_asked = false;
    bool m_endOfInput = false;
    bool m_tooLong = false;
};

} // namespace Pkgseal
