// TCP sockets on Win32 (Winsock 2, select for waiting).
#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

#include "platform/platform.h"

namespace vz::platform {

namespace {

SOCKET native(Socket socket) { return static_cast<SOCKET>(socket); }

Socket wrap(SOCKET socket) { return socket == INVALID_SOCKET ? NO_SOCKET : static_cast<Socket>(socket); }

bool makeNonBlocking(SOCKET socket) {
    u_long on = 1;
    return ioctlsocket(socket, FIONBIO, &on) == 0;
}

bool wouldBlock() {
    const int error = WSAGetLastError();
    return error == WSAEWOULDBLOCK || error == WSAEINTR || error == WSAEINPROGRESS;
}

}  // namespace

bool startSockets() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return started;
}

Socket openTcpSocket() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return NO_SOCKET;
    // Not inherited by programs the runtime starts (dialogs, the shell).
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    if (!makeNonBlocking(s)) {
        closesocket(s);
        return NO_SOCKET;
    }
    return wrap(s);
}

bool resolveHost(const char* host, uint32_t& address) {
    if (!host || !*host) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return false;
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return true;
}

bool startConnect(Socket socket, uint32_t address, uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    if (connect(native(socket), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return true;
    return wouldBlock();
}

bool connectSucceeded(Socket socket) {
    int error = 0;
    int length = sizeof error;
    if (getsockopt(native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        return false;
    return error == 0;
}

SocketWait waitSocket(Socket socket, bool forWrite, int timeoutMs) {
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(native(socket), &ready);
    // A failed non-blocking connect is reported in the exception set, not as writable.
    FD_SET(native(socket), &failed);
    timeval wait{};
    if (timeoutMs > 0) {
        wait.tv_sec = timeoutMs / 1000;
        wait.tv_usec = (timeoutMs % 1000) * 1000;
    }
    int n = select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &wait);
    if (n == SOCKET_ERROR) return SocketWait::Failed;
    if (n == 0) return SocketWait::TimedOut;
    return SocketWait::Ready;
}

int sendSome(Socket socket, const void* data, size_t bytes) {
    const int chunk = bytes > 0x40000000u ? 0x40000000 : static_cast<int>(bytes);
    int sent = send(native(socket), static_cast<const char*>(data), chunk, 0);
    if (sent != SOCKET_ERROR) return sent;
    return wouldBlock() ? SOCKET_WOULD_BLOCK : SOCKET_FAILED;
}

int receiveSome(Socket socket, void* data, size_t bytes) {
    const int chunk = bytes > 0x40000000u ? 0x40000000 : static_cast<int>(bytes);
    int got = recv(native(socket), static_cast<char*>(data), chunk, 0);
    if (got != SOCKET_ERROR) return got;
    return wouldBlock() ? SOCKET_WOULD_BLOCK : SOCKET_FAILED;
}

void closeSocket(Socket socket) {
    if (socket != NO_SOCKET) closesocket(native(socket));
}

void resetSocket(Socket socket) {
    if (socket == NO_SOCKET) return;
    linger option{};
    option.l_onoff = 1;
    option.l_linger = 0;
    setsockopt(native(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option), sizeof option);
    closesocket(native(socket));
}

Socket listenLoopback(uint16_t& port) {
    if (!startSockets()) return NO_SOCKET;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return NO_SOCKET;
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof at;
    if (bind(s, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 || listen(s, 16) != 0 ||
        !makeNonBlocking(s) || getsockname(s, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
        closesocket(s);
        return NO_SOCKET;
    }
    port = ntohs(at.sin_port);
    return wrap(s);
}

Socket acceptConnection(Socket listener) {
    SOCKET s = accept(native(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET) return NO_SOCKET;
    if (!makeNonBlocking(s)) {
        closesocket(s);
        return NO_SOCKET;
    }
    return wrap(s);
}

}  // namespace vz::platform
