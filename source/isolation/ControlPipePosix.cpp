#include "isolation/ControlPipe.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace talven {
namespace {

class SocketPipe final : public ControlPipe {
public:
    explicit SocketPipe(int descriptor) : descriptor_(descriptor) {}
    ~SocketPipe() override { ::close(descriptor_); }

    std::string token() const override { return std::to_string(descriptor_); }
    std::vector<std::uint64_t> inheritedHandles() const override
    {
        return {static_cast<std::uint64_t>(descriptor_)};
    }

    bool writeAll(const void* data, std::size_t bytes) override
    {
        const auto* from = static_cast<const char*>(data);
        while (bytes > 0) {
            // No SIGPIPE for a peer that has gone: a failed write says it.
            const ssize_t sent = ::send(descriptor_, from, bytes, MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR)
                continue;
            if (sent <= 0)
                return false;
            from += sent;
            bytes -= static_cast<std::size_t>(sent);
        }
        return true;
    }

    bool readAll(void* data, std::size_t bytes) override
    {
        auto* to = static_cast<char*>(data);
        while (bytes > 0) {
            const ssize_t got = ::recv(descriptor_, to, bytes, 0);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            to += got;
            bytes -= static_cast<std::size_t>(got);
        }
        return true;
    }

private:
    int descriptor_;
};

// Above the descriptors a program usually has open, and close-on-exec: only
// the child it is handed to gets it.
int movedHigh(int descriptor)
{
    const int moved = fcntl(descriptor, F_DUPFD_CLOEXEC, 10);
    ::close(descriptor);
    return moved;
}

} // namespace

ControlPipe::Pair ControlPipe::create()
{
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return {};
    const int own = movedHigh(ends[0]);
    const int child = movedHigh(ends[1]);
    if (own < 0 || child < 0) {
        if (own >= 0)
            ::close(own);
        if (child >= 0)
            ::close(child);
        return {};
    }
    return {std::make_unique<SocketPipe>(own), std::make_unique<SocketPipe>(child)};
}

std::unique_ptr<ControlPipe> ControlPipe::open(const std::string& token)
{
    int descriptor = -1;
    char trailing = 0;
    if (std::sscanf(token.c_str(), "%d%c", &descriptor, &trailing) != 1 || descriptor < 0)
        return nullptr;
    int type = 0;
    socklen_t length = sizeof type;
    if (getsockopt(descriptor, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM)
        return nullptr;
    // Not handed on to processes this one starts.
    fcntl(descriptor, F_SETFD, FD_CLOEXEC);
    return std::make_unique<SocketPipe>(descriptor);
}

} // namespace talven
