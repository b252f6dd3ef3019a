// GVSP, the stream protocol: cuts each frame into a leader, payload packets and a trailer of the
// negotiated size, keeps the last frames for packet resends, and can drop a given fraction of
// payload packets on purpose so that a client's resend path gets exercised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "gev/Device.h"
#include "platform/net/Datagram.h"

namespace tamra::gev {

// One datagram given as two pieces (header and data), so that payload is never copied again.
class DatagramSink {
public:
    virtual ~DatagramSink() = default;
    virtual void send(std::uint32_t ip, std::uint16_t port, const std::uint8_t* head,
                      std::size_t headSize, const std::uint8_t* data, std::size_t dataSize) = 0;
    // Several datagrams to one destination; a sink that can hands them over in one call.
    virtual void sendBatch(std::uint32_t ip, std::uint16_t port, const DatagramPiece* pieces,
                           std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            send(ip, port, pieces[i].head, pieces[i].headSize, pieces[i].data, pieces[i].dataSize);
        }
    }
};

namespace pixel {
constexpr std::uint32_t Mono8 = 0x01080001;
constexpr std::uint32_t BGR8 = 0x02180015;
constexpr std::uint32_t BGRa8 = 0x02200017;
}  // namespace pixel

struct FrameLayout {
    std::uint32_t pixelFormat = pixel::Mono8;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::size_t size() const;
};

struct StreamCounters {
    std::uint64_t frames = 0;
    std::uint64_t packetsDropped = 0;
    std::uint64_t packetsResent = 0;
};

class Streamer {
public:
    static constexpr std::size_t kIpUdpOverhead = 28;
    static constexpr std::size_t kGvspHeaderSize = 8;
    static constexpr int kResendFrames = 4;
    static constexpr std::size_t kBatch = 64;

    Streamer(StreamChannel& channel, DatagramSink& sink);

    // Fraction in [0, 1) of payload packets not sent the first time; seed makes runs repeatable.
    void setDropFraction(double fraction, std::uint64_t seed);
    // Sizes the resend store for this layout; called from the control side whenever the
    // geometry changes, never per frame.
    void configure(const FrameLayout& layout);
    // Sends one frame (a callback thread); a frame larger than the configured layout is skipped.
    void sendFrame(const std::uint8_t* data, std::size_t size, std::uint64_t timestamp);
    void resend(std::uint16_t block, std::uint32_t first, std::uint32_t last);
    // Answers a packet-size test: one datagram of exactly that IP size, do-not-fragment.
    void fireTest(std::uint32_t packetSize);
    StreamCounters counters() const;

private:
    struct Stored {
        std::vector<std::uint8_t> data;
        std::size_t size = 0;
        std::uint16_t block = 0;
        std::uint64_t timestamp = 0;
    };

    std::size_t chunkSize() const;
    std::uint32_t packetCount(std::size_t size, std::size_t chunk) const;
    void sendPacket(const Stored& frame, std::uint32_t packetId, std::size_t chunk,
                    std::uint32_t dataPackets, bool mayDrop);
    bool dropThisOne();
    void sendPayloads(const Stored& frame, std::size_t chunk, std::uint32_t dataPackets);

    StreamChannel& channel_;
    DatagramSink& sink_;
    mutable std::mutex mutex_;
    FrameLayout layout_;
    std::vector<Stored> store_;
    int next_ = 0;
    std::uint16_t block_ = 0;
    std::uint32_t dropThreshold_ = 0;  // out of 2^32
    std::uint64_t random_ = 0x9E3779B97F4A7C15ull;
    std::uint32_t destinationIp_ = 0;
    std::uint16_t destinationPort_ = 0;
    StreamCounters counters_;
    std::vector<std::uint8_t> testPacket_;
    // Payload packets go out kBatch at a time: their headers and pieces live here, so that
    // streaming allocates nothing.
    std::uint8_t batchHeads_[kBatch][kGvspHeaderSize] = {};
    DatagramPiece batch_[kBatch] = {};
};

}  // namespace tamra::gev
