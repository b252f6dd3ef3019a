// tamra-grab: delivered frames as bitmap files, written off the delivery thread, and a contact
// sheet of the first frames.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tamra_grab {

// One camera's image in a delivered frame: rows of width x bytesPerPixel bytes, top row first.
struct ImageLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t bytesPerPixel = 1;
    std::size_t bytes() const { return std::size_t{width} * height * bytesPerPixel; }
};

// A top-down bitmap: 8-bit with a grey palette, or 24 / 32 bits as blue, green, red (, x).
std::vector<std::uint8_t> encodeImage(const ImageLayout& layout, const std::uint8_t* pixels);
bool writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Writes frames as frame_<number>_cam<k>.bmp on a thread of its own, from a fixed pool of
// copies, so that the client callback never waits for the disk. A frame that finds the pool
// empty is skipped and counted.
class FrameSaver {
public:
    FrameSaver(std::string folder, ImageLayout layout, int cameras, std::size_t poolSize = 8);
    ~FrameSaver();
    FrameSaver(const FrameSaver&) = delete;
    FrameSaver& operator=(const FrameSaver&) = delete;

    // Delivery thread: copies the cameras' images (one after the other in frame).
    void offer(const std::uint8_t* frame, std::uint64_t number);
    // Writes what is queued and ends the writer; safe to call twice.
    void finish();

    std::uint64_t saved() const;
    std::uint64_t skipped() const;
    std::string error() const;

private:
    struct Job {
        std::uint64_t number = 0;
        std::vector<std::uint8_t> pixels;
    };
    void writeLoop();
    bool writeJob(const Job& job);

    std::string folder_;
    ImageLayout layout_;
    int cameras_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Job> free_;
    std::deque<Job> queued_;
    bool finishing_ = false;
    std::uint64_t saved_ = 0;
    std::uint64_t skipped_ = 0;
    std::string error_;
    std::thread writer_;
};

// Thumbnails of the first frames of camera 0, four to a row, each at most 160 pixels wide.
class ContactSheet {
public:
    explicit ContactSheet(ImageLayout layout, int count = 16);
    // Delivery thread; frames after the sheet is full are ignored.
    void add(const std::uint8_t* image);
    // After acquisition has stopped. False when nothing was added or the file cannot be written.
    bool write(const std::string& path) const;
    int filled() const { return filled_; }

private:
    ImageLayout source_;
    std::uint32_t step_;  // source pixels per thumbnail pixel
    ImageLayout thumb_;
    int count_;
    int filled_ = 0;
    ImageLayout sheet_;
    std::vector<std::uint8_t> pixels_;  // 24-bit sheet
};

}  // namespace tamra_grab
