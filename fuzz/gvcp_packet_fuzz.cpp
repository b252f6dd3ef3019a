// Fuzz target: arbitrary datagrams into the device's control channel. Every answer must be a
// well-formed acknowledgement; nothing may read or write out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "gev/Device.h"
#include "gev/Wire.h"

namespace {

using namespace tamra::gev;

// Feature registers that accept anything, so that every path of the device is reachable.
class AnyFeatures : public FeatureBackend {
public:
    Status readFeature(std::uint32_t, std::uint32_t& value) override {
        value = 0;
        return Status::Success;
    }
    Status writeFeature(std::uint32_t, std::uint32_t) override { return Status::Success; }
    Status readFeatureBlock(std::uint32_t, std::uint8_t* data, std::uint32_t size) override {
        for (std::uint32_t i = 0; i < size; ++i) data[i] = 0;
        return Status::Success;
    }
    Status writeFeatureBlock(std::uint32_t, const std::uint8_t*, std::uint32_t) override {
        return Status::Success;
    }
    bool isSlowWrite(std::uint32_t address) const override { return (address & 0x10) != 0; }
    void controlReleased() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static AnyFeatures features;
    static StreamChannel channel;
    static Device device(DeviceIdentity{}, "<RegisterDescription/>", features, channel);
    // The input is copied so that a read past its end is caught by the sanitizer.
    std::vector<std::uint8_t> datagram(data, data + size);
    const Peer from{0x7F000001, static_cast<std::uint16_t>(size & 1 ? 50000 : 50001)};
    static std::int64_t now = 0;
    now += 100;
    device.handle(datagram.data(), datagram.size(), from, now,
                  [](const std::vector<std::uint8_t>& ack) {
                      if (ack.size() < kGvcpHeaderSize ||
                          readBe16(ack.data() + 4) != ack.size() - kGvcpHeaderSize) {
                          std::abort();
                      }
                  });
    device.expireHeartbeat(now);
    return 0;
}
