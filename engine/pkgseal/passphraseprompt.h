#pragma once

#include <cstddef>
#include <string>

namespace Pkgseal {

// Asks for the pass phrase of an encrypted key on the standard streams: the prompt, which names
// the key, goes to standard output without a line feed, the answer is one line of standard input.
// The pass phrase is asked once, kept only as long as the prompt object lives, and wiped then.
class PassphrasePrompt
{
public:
    // Callers recognise the prompt by this beginning.
    static constexpr const char *PromptStart = "Enter passphrase for binaries key";

    explicit PassphrasePrompt(const std::string &keyPath);
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

    std::string m_keyPath;
    char m_passphrase[Capacity];
    size_t m_length = 0;
    bool m_asked = false;
    bool m_endOfInput = false;
    bool m_tooLong = false;
};

} // namespace Pkgseal
