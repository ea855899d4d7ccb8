#pragma once

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <grp.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kadrel::test {

// What a child process ended with: its exit status, its signal, and the text it reported.
struct ChildResult {
    int status = -1; // exit status, -1 when it did not exit
    int signal = 0;  // the signal that ended it, 0 when it exited
    std::string report;
};

// Runs body in a forked child, which ends with body's result as its exit status; report is
// what body wrote through the function given to it. The child never returns into the tests.
inline ChildResult
RunInChild(const std::function<int(const std::function<void(std::string)>&)>& body) {
    int channel[2];
    if (::pipe(channel) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(channel[0]);
        int status = 99;
        try {
            status = body([&](const std::string& text) {
                ssize_t ignored = ::write(channel[1], text.data(), text.size());
                (void)ignored;
            });
        } catch (...) {
            status = 98;
        }
        ::_exit(status);
    }
    ::close(channel[1]);
    ChildResult result;
    char buffer[4096];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0)
            result.report.append(buffer, static_cast<std::size_t>(n));
        else if (errno != EINTR)
            break;
    }
    ::close(channel[0]);
    int raw = 0;
    while (::waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(raw))
        result.status = WEXITSTATUS(raw);
    else if (WIFSIGNALED(raw))
        result.signal = WTERMSIG(raw);
    return result;
}

// The process's address space in use, in bytes, from /proc/self/status.
inline std::uint64_t AddressSpaceInUse() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word)
        if (word == "VmSize:") {
            std::uint64_t kib = 0;
            status >> kib;
            return kib * 1024;
        }
    return 0;
}

// Limits the calling process (a child) to `extra` bytes of address space beyond what it uses.
inline bool LimitAddressSpace(std::uint64_t extra) {
    const rlim_t bytes = AddressSpaceInUse() + extra;
    const rlimit limit{bytes, bytes};
    return ::setrlimit(RLIMIT_AS, &limit) == 0;
}

// Leaves the superuser's rights for an ordinary user's (nobody's), for what root may do
// that a user may not. False when that is not possible.
inline constexpr unsigned NobodyId = 65534;
inline bool BecomeNobody() {
    return ::setgroups(0, nullptr) == 0 && ::setgid(NobodyId) == 0 && ::setuid(NobodyId) == 0;
}

// The sanitizers reserve terabytes of address space and die, rather than fail an allocation,
// when it runs short: memory limits tell nothing under them.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool UnderSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool UnderSanitizer = true;
#else
inline constexpr bool UnderSanitizer = false;
#endif
#else
inline constexpr bool UnderSanitizer = false;
#endif

} // namespace kadrel::test
