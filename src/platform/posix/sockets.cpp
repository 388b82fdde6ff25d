// TCP sockets on the development host (BSD sockets, poll for waiting).
#include "platform/platform.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace vz::platform {

namespace {

bool makeNonBlocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL, 0);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool wouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

}  // namespace

bool startSockets() { return true; }

Socket openTcpSocket() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return NO_SOCKET;
    if (!makeNonBlocking(fd)) {
        ::close(fd);
        return NO_SOCKET;
    }
    return fd;
}

bool resolveHost(const char* host, uint32_t& address) {
    if (!host || !*host) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return false;
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return true;
}

bool startConnect(Socket socket, uint32_t address, uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    if (::connect(static_cast<int>(socket), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return true;
    return errno == EINPROGRESS || errno == EINTR;
}

bool connectSucceeded(Socket socket) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return false;
    return error == 0;
}

SocketWait waitSocket(Socket socket, bool forWrite, int timeoutMs) {
    pollfd entry{};
    entry.fd = static_cast<int>(socket);
    entry.events = forWrite ? POLLOUT : POLLIN;
    int ready = ::poll(&entry, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (ready < 0) return errno == EINTR ? SocketWait::TimedOut : SocketWait::Failed;
    if (ready == 0) return SocketWait::TimedOut;
    // An error or hang-up is "ready": the next call reports it.
    return SocketWait::Ready;
}

int sendSome(Socket socket, const void* data, size_t bytes) {
    ssize_t sent = ::send(static_cast<int>(socket), data, bytes, MSG_NOSIGNAL);
    if (sent >= 0) return static_cast<int>(sent);
    return wouldBlock() ? SOCKET_WOULD_BLOCK : SOCKET_FAILED;
}

int receiveSome(Socket socket, void* data, size_t bytes) {
    ssize_t got = ::recv(static_cast<int>(socket), data, bytes, 0);
    if (got >= 0) return static_cast<int>(got);
    return wouldBlock() ? SOCKET_WOULD_BLOCK : SOCKET_FAILED;
}

void closeSocket(Socket socket) {
    if (socket != NO_SOCKET) ::close(static_cast<int>(socket));
}

void resetSocket(Socket socket) {
    if (socket == NO_SOCKET) return;
    linger option{};
    option.l_onoff = 1;
    option.l_linger = 0;
    ::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_LINGER, &option, sizeof option);
    ::close(static_cast<int>(socket));
}

Socket listenLoopback(uint16_t& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return NO_SOCKET;
    int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 || ::listen(fd, 16) != 0 ||
        !makeNonBlocking(fd) || ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
        ::close(fd);
        return NO_SOCKET;
    }
    port = ntohs(at.sin_port);
    return fd;
}

Socket acceptConnection(Socket listener) {
    int fd = ::accept(static_cast<int>(listener), nullptr, nullptr);
    if (fd < 0) return NO_SOCKET;
    if (!makeNonBlocking(fd)) {
        ::close(fd);
        return NO_SOCKET;
    }
    return fd;
}

}  // namespace vz::platform
