#include "cli/PasswordInput.h"

#include <QTextStream>
#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace quarvex::cli {

bool standardInputIsTerminal() {
#ifdef Q_OS_WIN
    return _isatty(_fileno(stdin)) != 0;
#else
    return ::isatty(STDIN_FILENO) != 0;
#endif
}

namespace {

// The terminal on standard input does not echo while this lives.
class EchoOff {
public:
    EchoOff() {
#ifdef Q_OS_WIN
        m_console = GetStdHandle(STD_INPUT_HANDLE);
        m_active = GetConsoleMode(m_console, &m_saved) &&
                   SetConsoleMode(m_console, m_saved & ~DWORD(ENABLE_ECHO_INPUT));
#else
        // Typing ahead of the prompt was shown already; it is dropped.
        m_active = ::tcgetattr(STDIN_FILENO, &m_saved) == 0;
        termios quiet = m_saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        m_active = m_active && ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
#endif
    }

    ~EchoOff() {
        if (!m_active)
            return;
#ifdef Q_OS_WIN
        SetConsoleMode(m_console, m_saved);
#else
        ::tcsetattr(STDIN_FILENO, TCSANOW, &m_saved);
#endif
    }

    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    bool m_active = false;
#ifdef Q_OS_WIN
    HANDLE m_console = nullptr;
    DWORD m_saved = 0;
#else
    termios m_saved{};
#endif
};

QString firstLine() {
    QTextStream input(stdin);
    return input.readLine();
}

} // namespace

QString readPasswordLine() {
    if (!standardInputIsTerminal())
        return firstLine();
    // Echo goes off before the prompt shows, so nothing typed after it is seen.
    const EchoOff echoOff;
    // Behind the program's name like every other line on standard error.
    std::fputs("quarvex-cli: Password: ", stderr);
    std::fflush(stderr);
    const QString password = firstLine();
    // The Enter key was not echoed either.
    std::fputs("\n", stderr);
    return password;
}

} // namespace quarvex::cli
