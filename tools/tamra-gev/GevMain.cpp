// tamra-gev: plays a folder tree as a GigE Vision camera that any GigE Vision client acquires
// from. Runs until SIGINT or SIGTERM.
#include <CLI/CLI.hpp>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <string>
#include <thread>

#include "gev/Server.h"

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void onSignal(int) {
    g_interrupted.store(true);
}

}  // namespace

int main(int argc, char** argv) {
    using tamra::gev::pixel::BGR8;
    using tamra::gev::pixel::BGRa8;
    using tamra::gev::pixel::Mono8;
    tamra::gev::ServerOptions options;
    std::string format = "Mono8";
    CLI::App app{"Plays a folder tree of bitmap files as a GigE Vision camera."};
    app.add_option("--images", options.camera.folder, "Folder tree to play")->required();
    app.add_option("--width", options.camera.width, "Image width in pixels")
        ->check(CLI::Range(8, 8192));
    app.add_option("--height", options.camera.height, "Image height in pixels")
        ->check(CLI::Range(8, 8192));
    app.add_option("--pixel-format", format, "Mono8, BGR8 (24-bit) or BGRa8 (32-bit)")
        ->check(CLI::IsMember({"Mono8", "BGR8", "BGRa8", "RGB8", "RGBa8"}));
    app.add_option("--interface", options.interfaceAddress, "IPv4 address to answer on");
    app.add_option("--port", options.controlPort, "Control port");
    app.add_option("--cameras", options.camera.cameraCount, "Cameras to play")
        ->check(CLI::Range(1, 8));
    app.add_option("--frame-delay", options.camera.frameDelayMs,
                   "Milliseconds between free-run frames");
    app.add_option("--packet-size", options.packetSize,
                   "Stream packet size until the client sets its own")
        ->check(CLI::Range(576, 16384));
    app.add_option("--drop", options.dropFraction,
                   "Fraction of stream payload packets left out on purpose (0 to 0.5)")
        ->check(CLI::Range(0.0, 0.5));
    app.add_option("--serial", options.serial, "Serial number; the device is Tamra-<serial>");
    app.add_option("--name", options.userName, "User-defined name (15 characters at most)");
    CLI11_PARSE(app, argc, argv);
    // The emulator's 24- and 32-bit frames are blue, green, red (and a fourth byte).
    const std::map<std::string, std::uint32_t> formats = {
        {"Mono8", Mono8}, {"BGR8", BGR8}, {"RGB8", BGR8}, {"BGRa8", BGRa8}, {"RGBa8", BGRa8}};
    options.camera.pixelFormat = formats.at(format);

    tamra::gev::Server server;
    std::string error;
    if (!server.start(options, error)) {
        std::fprintf(stderr, "tamra-gev: %s\n", error.c_str());
        return 2;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::printf("%s answering on %s:%u\n", server.deviceName().c_str(),
                options.interfaceAddress.c_str(), server.controlPort());
    std::fflush(stdout);
    while (!g_interrupted.load()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    server.stop();
    const tamra::gev::StreamCounters counters = server.streamCounters();
    std::printf("stopped: %llu frames streamed, %llu packets dropped on purpose, %llu resent\n",
                static_cast<unsigned long long>(counters.frames),
                static_cast<unsigned long long>(counters.packetsDropped),
                static_cast<unsigned long long>(counters.packetsResent));
    return 0;
}
