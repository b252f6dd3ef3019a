// A UDP socket for the GigE Vision component: the platform code it alone links.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/net/Datagram.h"

namespace tamra::gev::net {

// Parses dotted IPv4 text into host order; false when it is not an address.
bool parseIpv4(const std::string& text, std::uint32_t& ip);

class UdpSocket {
public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Binds to ip:port (host order; port 0 picks one); shared lets other sockets bind the same
    // address too (the broadcast listener). False with error text on failure.
    bool open(std::uint32_t ip, std::uint16_t port, std::string& error, bool shared = false);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    std::uint16_t localPort() const;
    // Waits up to timeoutMs for a datagram; returns its size, 0 on time-out, -1 on error.
    long receive(std::uint8_t* buffer, std::size_t capacity, std::uint32_t& fromIp,
                 std::uint16_t& fromPort, int timeoutMs);
    // Sends head followed by data as one datagram.
    bool sendTo(std::uint32_t ip, std::uint16_t port, const std::uint8_t* head,
                std::size_t headSize, const std::uint8_t* data, std::size_t dataSize);
    // Sends count datagrams, each head followed by data, in as few calls as the system allows.
    bool sendBatch(std::uint32_t ip, std::uint16_t port, const gev::DatagramPiece* pieces,
                   std::size_t count);
    void setSendBuffer(int bytes);
    // Waits up to timeoutMs until one of the open sockets has a datagram; returns a bit per
    // socket (bit i for sockets[i]) with one, 0 on time-out or error.
    static unsigned waitReadable(UdpSocket* const* sockets, unsigned count, int timeoutMs);

private:
    int fd_ = -1;
};

}  // namespace tamra::gev::net
