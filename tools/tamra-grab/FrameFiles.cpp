// tamra-grab: delivered frames as bitmap files and a contact sheet.
#include "FrameFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "samplegen/BmpWriter.h"

namespace tamra_grab {
namespace {

using tamra::samples::putLittleEndian16;
using tamra::samples::putLittleEndian32;

constexpr std::uint32_t kThumbWidth = 160;
constexpr int kSheetColumns = 4;
constexpr std::uint32_t kHeaderBytes = 54;

// Blue, green, red of one pixel; a one-byte pixel is grey.
void pixelColour(const std::uint8_t* pixel, std::uint32_t bytesPerPixel, std::uint8_t* bgr) {
    if (bytesPerPixel >= 3) {
        std::memcpy(bgr, pixel, 3);
    } else {
        bgr[0] = bgr[1] = bgr[2] = pixel[0];
    }
}

}  // namespace

std::vector<std::uint8_t> encodeImage(const ImageLayout& layout, const std::uint8_t* pixels) {
    const std::uint32_t bits = layout.bytesPerPixel == 1 ? 8 : layout.bytesPerPixel * 8;
    const std::uint32_t paletteBytes = bits == 8 ? 256 * 4 : 0;
    const std::size_t rowBytes = std::size_t{layout.width} * layout.bytesPerPixel;
    const std::size_t paddedRow = (rowBytes + 3) / 4 * 4;
    const std::size_t offset = kHeaderBytes + paletteBytes;
    std::vector<std::uint8_t> out(offset + paddedRow * layout.height, 0);
    out[0] = 'B';
    out[1] = 'M';
    putLittleEndian32(out, 2, static_cast<std::uint32_t>(out.size()));
    putLittleEndian32(out, 10, static_cast<std::uint32_t>(offset));
    putLittleEndian32(out, 14, 40);
    putLittleEndian32(out, 18, layout.width);
    putLittleEndian32(out, 22,
                      static_cast<std::uint32_t>(-static_cast<std::int32_t>(layout.height)));
    putLittleEndian16(out, 26, 1);
    putLittleEndian16(out, 28, bits);
    putLittleEndian32(out, 34, static_cast<std::uint32_t>(paddedRow * layout.height));
    if (bits == 8) {
        putLittleEndian32(out, 46, 256);
        for (std::uint32_t i = 0; i < 256; ++i) {
            out[kHeaderBytes + i * 4] = out[kHeaderBytes + i * 4 + 1] =
                out[kHeaderBytes + i * 4 + 2] = static_cast<std::uint8_t>(i);
        }
    }
    for (std::uint32_t y = 0; y < layout.height; ++y) {
        std::memcpy(out.data() + offset + y * paddedRow, pixels + y * rowBytes, rowBytes);
    }
    return out;
}

bool writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

FrameSaver::FrameSaver(std::string folder, ImageLayout layout, int cameras, std::size_t poolSize)
    : folder_(std::move(folder)), layout_(layout), cameras_(std::max(1, cameras)) {
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
    for (std::size_t i = 0; i < poolSize; ++i) {
        Job job;
        job.pixels.resize(layout_.bytes() * static_cast<std::size_t>(cameras_));
        free_.push_back(std::move(job));
    }
    writer_ = std::thread([this] { writeLoop(); });
}

FrameSaver::~FrameSaver() {
    finish();
}

void FrameSaver::offer(const std::uint8_t* frame, std::uint64_t number) {
    std::unique_lock<std::mutex> lock(lock_);
    if (free_.empty() || finishing_) {
        ++skipped_;
        return;
    }
    Job job = std::move(free_.back());
    free_.pop_back();
    lock.unlock();
    job.number = number;
    std::memcpy(job.pixels.data(), frame, job.pixels.size());
    lock.lock();
    queued_.push_back(std::move(job));
    changed_.notify_one();
}

void FrameSaver::finish() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        finishing_ = true;
    }
    changed_.notify_one();
    if (writer_.joinable()) writer_.join();
}

void FrameSaver::writeLoop() {
    std::unique_lock<std::mutex> lock(lock_);
    for (;;) {
        changed_.wait(lock, [this] { return finishing_ || !queued_.empty(); });
        if (queued_.empty()) return;
        Job job = std::move(queued_.front());
        queued_.pop_front();
        lock.unlock();
        const bool written = writeJob(job);
        lock.lock();
        if (written) ++saved_;
        free_.push_back(std::move(job));
    }
}

bool FrameSaver::writeJob(const Job& job) {
    for (int camera = 0; camera < cameras_; ++camera) {
        char name[48];
        std::snprintf(name, sizeof name, "frame_%06llu_cam%d.bmp",
                      static_cast<unsigned long long>(job.number), camera);
        const std::uint8_t* image = job.pixels.data() + layout_.bytes() * camera;
        const std::string path = (std::filesystem::path(folder_) / name).string();
        if (!writeBytes(path, encodeImage(layout_, image))) {
            std::lock_guard<std::mutex> guard(lock_);
            if (error_.empty()) error_ = "cannot write " + path;
            return false;
        }
    }
    return true;
}

std::uint64_t FrameSaver::saved() const {
    std::lock_guard<std::mutex> guard(lock_);
    return saved_;
}

std::uint64_t FrameSaver::skipped() const {
    std::lock_guard<std::mutex> guard(lock_);
    return skipped_;
}

std::string FrameSaver::error() const {
    std::lock_guard<std::mutex> guard(lock_);
    return error_;
}

ContactSheet::ContactSheet(ImageLayout layout, int count)
    : source_(layout),
      step_(std::max<std::uint32_t>(1, (layout.width + kThumbWidth - 1) / kThumbWidth)),
      count_(count) {
    thumb_ = {std::max<std::uint32_t>(1, layout.width / step_),
              std::max<std::uint32_t>(1, layout.height / step_), 3};
    const int rows = (count_ + kSheetColumns - 1) / kSheetColumns;
    sheet_ = {thumb_.width * kSheetColumns, thumb_.height * static_cast<std::uint32_t>(rows), 3};
    pixels_.assign(sheet_.bytes(), 0);
}

// Nearest-sample reduction by a whole step, straight into the sheet.
void ContactSheet::add(const std::uint8_t* image) {
    if (filled_ >= count_) return;
    const std::uint32_t column = static_cast<std::uint32_t>(filled_ % kSheetColumns);
    const std::uint32_t row = static_cast<std::uint32_t>(filled_ / kSheetColumns);
    const std::size_t sheetRow = std::size_t{sheet_.width} * 3;
    for (std::uint32_t y = 0; y < thumb_.height; ++y) {
        const std::uint8_t* from =
            image + std::size_t{y * step_} * source_.width * source_.bytesPerPixel;
        std::uint8_t* to = pixels_.data() + (std::size_t{row} * thumb_.height + y) * sheetRow +
                           std::size_t{column} * thumb_.width * 3;
        for (std::uint32_t x = 0; x < thumb_.width; ++x) {
            pixelColour(from + std::size_t{x * step_} * source_.bytesPerPixel,
                        source_.bytesPerPixel, to + x * 3);
        }
    }
    ++filled_;
}

bool ContactSheet::write(const std::string& path) const {
    if (filled_ == 0) return false;
    return writeBytes(path, encodeImage(sheet_, pixels_.data()));
}

}  // namespace tamra_grab
