#include "platform/net/UdpSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tamra::gev::net {

namespace {

sockaddr_in toAddress(std::uint32_t ip, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(ip);
    a.sin_port = htons(port);
    return a;
}

}  // namespace

bool parseIpv4(const std::string& text, std::uint32_t& ip) {
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
    ip = ntohl(a.s_addr);
    return true;
}

UdpSocket::~UdpSocket() {
    close();
}

bool UdpSocket::open(std::uint32_t ip, std::uint16_t port, std::string& error, bool shared) {
    close();
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        error = std::strerror(errno);
        return false;
    }
    const int on = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (shared) ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a = toAddress(ip, port);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        error = std::strerror(errno);
        close();
        return false;
    }
    return true;
}

void UdpSocket::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::uint16_t UdpSocket::localPort() const {
    sockaddr_in a{};
    socklen_t n = sizeof a;
    if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n) != 0) return 0;
    return ntohs(a.sin_port);
}

long UdpSocket::receive(std::uint8_t* buffer, std::size_t capacity, std::uint32_t& fromIp,
                        std::uint16_t& fromPort, int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, timeoutMs);
    if (ready == 0) return 0;
    if (ready < 0) return errno == EINTR ? 0 : -1;
    sockaddr_in a{};
    socklen_t n = sizeof a;
    const ssize_t got =
        ::recvfrom(fd_, buffer, capacity, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&a), &n);
    if (got < 0) return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
    fromIp = ntohl(a.sin_addr.s_addr);
    fromPort = ntohs(a.sin_port);
    return got;
}

bool UdpSocket::sendTo(std::uint32_t ip, std::uint16_t port, const std::uint8_t* head,
                       std::size_t headSize, const std::uint8_t* data, std::size_t dataSize) {
    sockaddr_in a = toAddress(ip, port);
    iovec parts[2] = {{const_cast<std::uint8_t*>(head), headSize},
                      {const_cast<std::uint8_t*>(data), dataSize}};
    msghdr m{};
    m.msg_name = &a;
    m.msg_namelen = sizeof a;
    m.msg_iov = parts;
    m.msg_iovlen = dataSize > 0 ? 2 : 1;
    for (;;) {
        const ssize_t sent = ::sendmsg(fd_, &m, 0);
        if (sent >= 0) return true;
        if (errno != EINTR) return false;
    }
}

unsigned UdpSocket::waitReadable(UdpSocket* const* sockets, unsigned count, int timeoutMs) {
    pollfd polls[8] = {};
    const unsigned n = count < 8 ? count : 8;
    for (unsigned i = 0; i < n; ++i) polls[i] = pollfd{sockets[i]->fd_, POLLIN, 0};
    if (::poll(polls, n, timeoutMs) <= 0) return 0;
    unsigned ready = 0;
    for (unsigned i = 0; i < n; ++i) {
        if ((polls[i].revents & POLLIN) != 0) ready |= 1u << i;
    }
    return ready;
}

bool UdpSocket::sendBatch(std::uint32_t ip, std::uint16_t port, const DatagramPiece* pieces,
                          std::size_t count) {
    constexpr std::size_t kMax = 64;
    sockaddr_in a = toAddress(ip, port);
    mmsghdr messages[kMax];
    iovec parts[kMax][2];
    while (count > 0) {
        const std::size_t n = count < kMax ? count : kMax;
        for (std::size_t i = 0; i < n; ++i) {
            parts[i][0] = {const_cast<std::uint8_t*>(pieces[i].head), pieces[i].headSize};
            parts[i][1] = {const_cast<std::uint8_t*>(pieces[i].data), pieces[i].dataSize};
            messages[i] = mmsghdr{};
            messages[i].msg_hdr.msg_name = &a;
            messages[i].msg_hdr.msg_namelen = sizeof a;
            messages[i].msg_hdr.msg_iov = parts[i];
            messages[i].msg_hdr.msg_iovlen = pieces[i].dataSize > 0 ? 2 : 1;
        }
        const int sent = ::sendmmsg(fd_, messages, static_cast<unsigned>(n), 0);
        if (sent < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        pieces += sent;
        count -= static_cast<std::size_t>(sent);
    }
    return true;
}

void UdpSocket::setSendBuffer(int bytes) {
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
}

}  // namespace tamra::gev::net
