// A running GigE Vision device: the emulator, its control socket and thread, its stream socket.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gev/Device.h"
#include "gev/Streamer.h"
#include "gev/TamraCamera.h"
#include "platform/net/UdpSocket.h"

namespace tamra::gev {

struct ServerOptions {
    std::string interfaceAddress = "127.0.0.1";
    std::uint16_t controlPort = kGvcpPort;
    CameraSettings camera;
    std::uint32_t packetSize = 1500;
    double dropFraction = 0.0;
    std::uint64_t dropSeed = 1;
    std::string serial = "TE0001";
    std::string userName;
};

class Server : private DatagramSink {
public:
    Server();
    ~Server() override;
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Opens the sockets and the emulator and starts answering; false with a message.
    bool start(const ServerOptions& options, std::string& error);
    // Stops acquisition and the control thread, and closes everything. Idempotent.
    void stop();

    std::uint16_t controlPort() const { return control_.localPort(); }
    StreamCounters streamCounters() const { return streamer_.counters(); }
    std::uint64_t overruns() const { return camera_ ? camera_->overruns() : 0; }
    std::string deviceName() const;

private:
    void send(std::uint32_t ip, std::uint16_t port, const std::uint8_t* head, std::size_t headSize,
              const std::uint8_t* data, std::size_t dataSize) override;
    void sendBatch(std::uint32_t ip, std::uint16_t port, const DatagramPiece* pieces,
                   std::size_t count) override;
    void controlLoop();
    void serve(net::UdpSocket& socket, std::vector<std::uint8_t>& datagram);
    std::uint64_t ticks() const;
    std::int64_t nowMs() const;

    const std::chrono::steady_clock::time_point epoch_;
    ServerOptions options_;
    StreamChannel channel_;
    net::UdpSocket control_;
    net::UdpSocket broadcast_;  // discovery sent to 255.255.255.255
    net::UdpSocket stream_;
    Streamer streamer_;
    std::unique_ptr<TamraCamera> camera_;
    std::unique_ptr<Device> device_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace tamra::gev
