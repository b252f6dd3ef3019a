#include "gev/Server.h"

#include <vector>

#include "gev/GenicamXml.h"

namespace tamra::gev {

namespace {
constexpr int kPollMs = 50;
constexpr std::size_t kDatagramCapacity = 2048;
constexpr int kStreamSendBuffer = 4 << 20;
}  // namespace

Server::Server() : epoch_(std::chrono::steady_clock::now()), streamer_(channel_, *this) {}

Server::~Server() {
    stop();
}

std::uint64_t Server::ticks() const {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          std::chrono::steady_clock::now() - epoch_)
                                          .count());
}

std::int64_t Server::nowMs() const {
    return static_cast<std::int64_t>(ticks() / 1000000);
}

bool Server::start(const ServerOptions& options, std::string& error) {
    stop();
    options_ = options;
    std::uint32_t ip = 0;
    if (!net::parseIpv4(options.interfaceAddress, ip)) {
        error = "not an IPv4 address: " + options.interfaceAddress;
        return false;
    }
    if (!control_.open(ip, options.controlPort, error)) {
        error = "cannot open the control port: " + error;
        return false;
    }
    // Discovery broadcasts reach only a socket bound to the broadcast address; without it the
    // device still answers discovery sent to its own address.
    std::string ignored;
    if (ip != 0xFFFFFFFF && ip != 0)
        broadcast_.open(0xFFFFFFFF, options.controlPort, ignored, true);
    if (!stream_.open(ip, 0, error)) {
        error = "cannot open the stream socket: " + error;
        return false;
    }
    stream_.setSendBuffer(kStreamSendBuffer);
    channel_.packetSize.store(options.packetSize);
    streamer_.setDropFraction(options.dropFraction, options.dropSeed);
    camera_ = std::make_unique<TamraCamera>(streamer_, [this] { return ticks(); });
    if (!camera_->open(options.camera, error)) {
        error = "cannot play the images: " + error;
        camera_.reset();
        return false;
    }
    DeviceIdentity identity;
    identity.ip = ip;
    identity.serial = options.serial;
    identity.userName = options.userName;
    device_ = std::make_unique<Device>(identity, genicamXml(), *camera_, channel_);
    device_->setResendHook([this](std::uint16_t block, std::uint32_t first, std::uint32_t last) {
        streamer_.resend(block, first, last);
    });
    device_->setFireTestHook([this](std::uint32_t size) { streamer_.fireTest(size); });
    device_->setTickSource([this] { return ticks(); });
    stopping_.store(false);
    thread_ = std::thread([this] { controlLoop(); });
    return true;
}

void Server::stop() {
    stopping_.store(true);
    if (thread_.joinable()) thread_.join();
    if (camera_) camera_->close();
    device_.reset();
    camera_.reset();
    control_.close();
    broadcast_.close();
    stream_.close();
}

std::string Server::deviceName() const {
    return "Tamra-" + options_.serial;
}

void Server::send(std::uint32_t ip, std::uint16_t port, const std::uint8_t* head,
                  std::size_t headSize, const std::uint8_t* data, std::size_t dataSize) {
    stream_.sendTo(ip, port, head, headSize, data, dataSize);
}

void Server::sendBatch(std::uint32_t ip, std::uint16_t port, const DatagramPiece* pieces,
                       std::size_t count) {
    stream_.sendBatch(ip, port, pieces, count);
}

void Server::controlLoop() {
    std::vector<std::uint8_t> datagram(kDatagramCapacity);
    net::UdpSocket* sockets[2] = {&control_, &broadcast_};
    const unsigned count = broadcast_.isOpen() ? 2 : 1;
    while (!stopping_.load()) {
        const unsigned ready = net::UdpSocket::waitReadable(sockets, count, kPollMs);
        if ((ready & 1u) != 0) serve(control_, datagram);
        if ((ready & 2u) != 0) serve(broadcast_, datagram);
        device_->expireHeartbeat(nowMs());
    }
}

// Answers always leave from the control socket, so they come from the device's own address.
void Server::serve(net::UdpSocket& socket, std::vector<std::uint8_t>& datagram) {
    std::uint32_t fromIp = 0;
    std::uint16_t fromPort = 0;
    const long size = socket.receive(datagram.data(), datagram.size(), fromIp, fromPort, 0);
    if (size <= 0) return;
    device_->handle(datagram.data(), static_cast<std::size_t>(size), Peer{fromIp, fromPort},
                    nowMs(), [&](const std::vector<std::uint8_t>& ack) {
                        control_.sendTo(fromIp, fromPort, ack.data(), ack.size(), nullptr, 0);
                    });
}

}  // namespace tamra::gev
