#include "gev/Streamer.h"

#include <algorithm>
#include <cmath>

#include "gev/Wire.h"

namespace tamra::gev {

namespace {

constexpr std::uint8_t kFormatLeader = 1;
constexpr std::uint8_t kFormatTrailer = 2;
constexpr std::uint8_t kFormatPayload = 3;
constexpr std::uint16_t kPayloadTypeImage = 0x0001;
constexpr std::size_t kLeaderSize = 8 + 36;
constexpr std::size_t kTrailerSize = 8 + 8;

void writeHeader(std::uint8_t* p, std::uint16_t block, std::uint8_t format, std::uint32_t id) {
    writeBe16(p, 0);  // status: success
    writeBe16(p + 2, block);
    writeBe32(p + 4, (std::uint32_t{format} << 24) | (id & 0xFFFFFF));
}

}  // namespace

std::size_t FrameLayout::size() const {
    const std::size_t bytes = pixelFormat == pixel::Mono8 ? 1 : pixelFormat == pixel::BGR8 ? 3 : 4;
    return std::size_t{width} * height * bytes;
}

Streamer::Streamer(StreamChannel& channel, DatagramSink& sink) : channel_(channel), sink_(sink) {}

void Streamer::setDropFraction(double fraction, std::uint64_t seed) {
    std::lock_guard<std::mutex> lock(mutex_);
    const double clamped = std::clamp(fraction, 0.0, 0.999);
    dropThreshold_ = static_cast<std::uint32_t>(std::ldexp(clamped, 32));
    random_ = seed != 0 ? seed : 0x9E3779B97F4A7C15ull;
}

void Streamer::configure(const FrameLayout& layout) {
    std::lock_guard<std::mutex> lock(mutex_);
    layout_ = layout;
    store_.resize(kResendFrames);
    for (Stored& s : store_) {
        s.data.resize(layout.size());
        s.size = 0;
        s.block = 0;
    }
}

std::size_t Streamer::chunkSize() const {
    const std::size_t packet = channel_.packetSize.load(std::memory_order_relaxed);
    return packet - kIpUdpOverhead - kGvspHeaderSize;
}

std::uint32_t Streamer::packetCount(std::size_t size, std::size_t chunk) const {
    return static_cast<std::uint32_t>((size + chunk - 1) / chunk);
}

bool Streamer::dropThisOne() {
    if (dropThreshold_ == 0) return false;
    random_ ^= random_ << 13;
    random_ ^= random_ >> 7;
    random_ ^= random_ << 17;
    return static_cast<std::uint32_t>(random_ >> 32) < dropThreshold_;
}

void Streamer::sendFrame(const std::uint8_t* data, std::size_t size, std::uint64_t timestamp) {
    std::lock_guard<std::mutex> lock(mutex_);
    destinationIp_ = channel_.destinationIp.load();
    destinationPort_ = static_cast<std::uint16_t>(channel_.destinationPort.load());
    if (store_.empty() || size > store_[0].data.size() || size == 0) return;
    // Block ids run 1 to 65535: zero is reserved.
    block_ = static_cast<std::uint16_t>(block_ == 0xFFFF ? 1 : block_ + 1);
    Stored& frame = store_[static_cast<std::size_t>(next_)];
    next_ = (next_ + 1) % kResendFrames;
    std::copy_n(data, size, frame.data.begin());
    frame.size = size;
    frame.block = block_;
    frame.timestamp = timestamp;
    ++counters_.frames;
    if (destinationPort_ == 0 || destinationIp_ == 0) return;
    const std::size_t chunk = chunkSize();
    const std::uint32_t dataPackets = packetCount(size, chunk);
    sendPacket(frame, 0, chunk, dataPackets, false);
    sendPayloads(frame, chunk, dataPackets);
    sendPacket(frame, dataPackets + 1, chunk, dataPackets, false);
}

void Streamer::sendPayloads(const Stored& frame, std::size_t chunk, std::uint32_t dataPackets) {
    std::size_t n = 0;
    for (std::uint32_t id = 1; id <= dataPackets; ++id) {
        if (dropThisOne()) {
            ++counters_.packetsDropped;
            continue;
        }
        const std::size_t offset = std::size_t{id - 1} * chunk;
        writeHeader(batchHeads_[n], frame.block, kFormatPayload, id);
        batch_[n] = DatagramPiece{batchHeads_[n], kGvspHeaderSize, frame.data.data() + offset,
                                  std::min(chunk, frame.size - offset)};
        if (++n == kBatch) {
            sink_.sendBatch(destinationIp_, destinationPort_, batch_, n);
            n = 0;
        }
    }
    if (n > 0) sink_.sendBatch(destinationIp_, destinationPort_, batch_, n);
}

void Streamer::sendPacket(const Stored& frame, std::uint32_t packetId, std::size_t chunk,
                          std::uint32_t dataPackets, bool mayDrop) {
    std::uint8_t head[kLeaderSize];
    if (packetId == 0) {
        writeHeader(head, frame.block, kFormatLeader, 0);
        writeBe16(head + 8, 0);
        writeBe16(head + 10, kPayloadTypeImage);
        writeBe32(head + 12, static_cast<std::uint32_t>(frame.timestamp >> 32));
        writeBe32(head + 16, static_cast<std::uint32_t>(frame.timestamp));
        writeBe32(head + 20, layout_.pixelFormat);
        writeBe32(head + 24, layout_.width);
        writeBe32(head + 28, layout_.height);
        writeBe32(head + 32, 0);
        writeBe32(head + 36, 0);
        writeBe32(head + 40, 0);  // x and y padding
        sink_.send(destinationIp_, destinationPort_, head, kLeaderSize, nullptr, 0);
    } else if (packetId <= dataPackets) {
        if (mayDrop && dropThisOne()) {
            ++counters_.packetsDropped;
            return;
        }
        const std::size_t offset = std::size_t{packetId - 1} * chunk;
        const std::size_t n = std::min(chunk, frame.size - offset);
        writeHeader(head, frame.block, kFormatPayload, packetId);
        sink_.send(destinationIp_, destinationPort_, head, kGvspHeaderSize,
                   frame.data.data() + offset, n);
    } else {
        writeHeader(head, frame.block, kFormatTrailer, dataPackets + 1);
        writeBe16(head + 8, 0);
        writeBe16(head + 10, kPayloadTypeImage);
        writeBe32(head + 12, layout_.height);
        sink_.send(destinationIp_, destinationPort_, head, kTrailerSize, nullptr, 0);
    }
}

void Streamer::resend(std::uint16_t block, std::uint32_t first, std::uint32_t last) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (destinationPort_ == 0) return;
    for (const Stored& frame : store_) {
        if (frame.size == 0 || frame.block != block) continue;
        const std::size_t chunk = chunkSize();
        const std::uint32_t dataPackets = packetCount(frame.size, chunk);
        // "Last" of all ones asks for everything from first on.
        const std::uint32_t end = std::min(last, dataPackets + 1);
        for (std::uint32_t id = first; id <= end; ++id) {
            sendPacket(frame, id, chunk, dataPackets, false);
            ++counters_.packetsResent;
        }
        return;
    }
}

void Streamer::fireTest(std::uint32_t packetSize) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::uint32_t ip = channel_.destinationIp.load();
    const auto port = static_cast<std::uint16_t>(channel_.destinationPort.load());
    if (ip == 0 || port == 0 || packetSize < kIpUdpOverhead + kGvspHeaderSize) return;
    testPacket_.assign(packetSize - kIpUdpOverhead, 0);
    writeHeader(testPacket_.data(), 0, 4, 0);  // test packet format
    sink_.send(ip, port, testPacket_.data(), testPacket_.size(), nullptr, 0);
}

StreamCounters Streamer::counters() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counters_;
}

}  // namespace tamra::gev
