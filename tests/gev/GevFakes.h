// Stand-ins for the camera and the network, so the protocol is tested without either.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "gev/Device.h"
#include "gev/Streamer.h"
#include "gev/Wire.h"

namespace gev_test {

using namespace tamra::gev;

class FakeBackend : public FeatureBackend {
public:
    std::map<std::uint32_t, std::uint32_t> values;
    int releases = 0;
    std::uint32_t slowAddress = kFeatureBase + 0x14;

    Status readFeature(std::uint32_t address, std::uint32_t& value) override {
        const auto found = values.find(address);
        if (found == values.end()) return Status::InvalidAddress;
        value = found->second;
        return Status::Success;
    }
    Status writeFeature(std::uint32_t address, std::uint32_t value) override {
        values[address] = value;
        return Status::Success;
    }
    Status readFeatureBlock(std::uint32_t address, std::uint8_t* data,
                            std::uint32_t size) override {
        for (std::uint32_t i = 0; i < size; i += 4) {
            std::uint32_t v = 0;
            if (readFeature(address + i, v) != Status::Success) return Status::InvalidAddress;
            writeBe32(data + i, v);
        }
        return Status::Success;
    }
    Status writeFeatureBlock(std::uint32_t address, const std::uint8_t* data,
                             std::uint32_t size) override {
        for (std::uint32_t i = 0; i + 4 <= size; i += 4) values[address + i] = readBe32(data + i);
        return Status::Success;
    }
    bool isSlowWrite(std::uint32_t address) const override { return address == slowAddress; }
    void controlReleased() override { ++releases; }
};

struct Datagram {
    std::uint32_t ip;
    std::uint16_t port;
    std::vector<std::uint8_t> bytes;
};

class RecordingSink : public DatagramSink {
public:
    std::vector<Datagram> sent;
    void send(std::uint32_t ip, std::uint16_t port, const std::uint8_t* head, std::size_t headSize,
              const std::uint8_t* data, std::size_t dataSize) override {
        Datagram d{ip, port, std::vector<std::uint8_t>(head, head + headSize)};
        if (dataSize > 0) d.bytes.insert(d.bytes.end(), data, data + dataSize);
        sent.push_back(std::move(d));
    }
};

}  // namespace gev_test
