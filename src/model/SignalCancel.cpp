#include "model/SignalCancel.h"

#include "model/Cancellation.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace quarvex {

namespace {

constexpr int handledSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int breakOffAfterMs = 500;

// Written by the handler, which may do little else.
volatile std::sig_atomic_t writeEnd = -1;

extern "C" void onSignal(int number) {
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    if (writeEnd >= 0) {
        [[maybe_unused]] const auto written = ::write(writeEnd, &byte, 1);
    }
    errno = savedErrno;
}

// A read of one byte, waiting at most timeoutMs (-1: for ever); -1 when
// none came.
int readByte(int fd, int timeoutMs) {
    pollfd poll{fd, POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&poll, 1, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return -1;
        unsigned char byte = 0;
        if (::read(fd, &byte, 1) == 1)
            return byte;
        if (errno != EINTR && errno != EAGAIN)
            return -1;
    }
}

} // namespace

SignalCancel::SignalCancel(Cancellation& cancellation)
    : SignalCancel([&cancellation] { cancellation.cancel(); },
                   [&cancellation] { cancellation.breakOff(); }) {}

SignalCancel::SignalCancel(std::function<void()> cancel, std::function<void()> breakOff)
    : m_cancel(std::move(cancel))
    , m_breakOff(std::move(breakOff)) {
    if (::pipe2(m_pipe, O_CLOEXEC) != 0)
        return;
    ::fcntl(m_pipe[1], F_SETFL, O_NONBLOCK);
    writeEnd = m_pipe[1];
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : handledSignals)
        sigaction(number, &action, nullptr);
    m_watcher = std::thread([this] { watch(); });
}

SignalCancel::~SignalCancel() {
    if (m_pipe[0] < 0)
        return;
    for (const int number : handledSignals)
        std::signal(number, SIG_DFL);
    writeEnd = -1;
    const unsigned char stop = 0;
    [[maybe_unused]] const auto written = ::write(m_pipe[1], &stop, 1);
    m_watcher.join();
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void SignalCancel::watch() {
    for (;;) {
        const int number = readByte(m_pipe[0], -1);
        if (number <= 0)
            return;
        int expected = 0;
        m_signal.compare_exchange_strong(expected, number);
        m_cancel();
        // A server that does not answer the driver's cancel is not waited for.
        const int next = readByte(m_pipe[0], breakOffAfterMs);
        m_breakOff();
        if (next == 0)
            return;
    }
}

} // namespace quarvex
