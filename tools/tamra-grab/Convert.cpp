// tamra-grab: converting image folders into trees of bitmaps the emulator plays.
#include "Convert.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>

#ifdef TAMRA_GRAB_DECODERS
#include <stb/stb_image.h>
#include <tiffio.h>
#endif

#include "ImageTree.h"
#include "samplegen/BmpWriter.h"

namespace tamra_grab {
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kNativeHeaderBytes = 40;
constexpr const char* kCompleteMarker = ".tamra-grab-complete";

std::uint32_t littleEndian(const unsigned char* bytes, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

// The header fields that decide whether the emulator reads a bitmap as it is: a 40-byte header,
// 8 to 32 bits, uncompressed (or bit fields). Damaged files count as native: a decoder would
// not read them either, and as they are they show the pattern the emulator gives them.
bool nativeBitmap(const fs::path& path, std::string* why) {
    unsigned char header[54] = {};
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return true;
    if (header[0] != 'B' || header[1] != 'M') return true;
    const std::uint32_t size = littleEndian(header + 14, 4);
    const std::uint32_t bits = littleEndian(header + 28, 2);
    const std::uint32_t compression = littleEndian(header + 30, 4);
    std::ostringstream text;
    if (size != kNativeHeaderBytes) {
        text << size << "-byte header";
    } else if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        text << bits << "-bit pixels";
    } else if (compression != 0 && compression != 3) {
        text << "compression " << compression;
    } else {
        return true;
    }
    if (why) *why = text.str();
    return false;
}

// A decoded picture: rows top first, one or three bytes a pixel.
struct Decoded {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool grey = false;
    std::vector<std::uint8_t> pixels;
    std::string error;
};

#ifdef TAMRA_GRAB_DECODERS
Decoded decodeTiff(const fs::path& path) {
    Decoded image;
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
    std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(path.string().c_str(), "r"), TIFFClose);
    std::uint32_t width = 0, height = 0;
    if (!tiff || !TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0) {
        image.error = "not a readable TIFF file";
        return image;
    }
    std::vector<std::uint32_t> rgba(std::size_t{width} * height);
    if (!TIFFReadRGBAImageOriented(tiff.get(), width, height, rgba.data(), ORIENTATION_TOPLEFT,
                                   0)) {
        image.error = "TIFF layout not supported";
        return image;
    }
    image.width = width;
    image.height = height;
    image.pixels.reserve(rgba.size() * 3);
    for (std::uint32_t pixel : rgba) {
        image.pixels.push_back(static_cast<std::uint8_t>(TIFFGetR(pixel)));
        image.pixels.push_back(static_cast<std::uint8_t>(TIFFGetG(pixel)));
        image.pixels.push_back(static_cast<std::uint8_t>(TIFFGetB(pixel)));
    }
    return image;
}

Decoded decodeOther(const fs::path& path) {
    Decoded image;
    int width = 0, height = 0, channels = 0;
    if (!stbi_info(path.string().c_str(), &width, &height, &channels)) {
        image.error = stbi_failure_reason();
        return image;
    }
    image.grey = channels <= 2;
    const int wanted = image.grey ? 1 : 3;
    std::unique_ptr<stbi_uc, void (*)(void*)> data(
        stbi_load(path.string().c_str(), &width, &height, &channels, wanted), stbi_image_free);
    if (!data) {
        image.error = stbi_failure_reason();
        return image;
    }
    image.width = static_cast<std::uint32_t>(width);
    image.height = static_cast<std::uint32_t>(height);
    image.pixels.assign(data.get(), data.get() + std::size_t{image.width} * image.height * wanted);
    return image;
}
#endif

Decoded decode(const fs::path& path) {
#ifdef TAMRA_GRAB_DECODERS
    const std::string extension = path.extension().string();
    if (extension.size() >= 4 && (extension[1] == 't' || extension[1] == 'T')) {
        return decodeTiff(path);
    }
    return decodeOther(path);
#else
    Decoded image;
    image.error = "this build of tamra-grab has no image decoders";
    (void)path;
    return image;
#endif
}

// Grey pictures become 8-bit bitmaps without a palette (the value is the grey level), colour
// ones 24-bit; both bottom-up with the 40-byte header.
bool writeDecoded(const Decoded& image, const fs::path& target) {
    using namespace tamra::samples;
    Picture picture(image.width, image.height);
    const std::size_t step = image.grey ? 1 : 3;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        for (std::uint32_t x = 0; x < image.width; ++x) {
            const std::uint8_t* p = image.pixels.data() + (std::size_t{y} * image.width + x) * step;
            picture.set(x, y, image.grey ? Rgb{p[0], p[0], p[0]} : Rgb{p[0], p[1], p[2]});
        }
    }
    BmpLayout layout;
    layout.bitsPerPixel = image.grey ? 8 : 24;
    layout.palette = false;
    return writeBmp(target.string(), picture, layout);
}

std::string numbered(std::size_t index, std::size_t count, const fs::path& source) {
    const std::size_t digits = std::max<std::size_t>(4, std::to_string(count).size());
    std::string number = std::to_string(index + 1);
    number.insert(0, digits - std::min(digits, number.size()), '0');
    return number + "_" + source.stem().string() + ".bmp";
}

ConvertedFile convertOne(const fs::path& source, const fs::path& target) {
    ConvertedFile file;
    file.source = source.string();
    std::string why;
    std::error_code error;
    if (isBitmapName(source) && nativeBitmap(source, &why)) {
        file.action = ConvertedFile::Action::Copied;
        if (fs::copy_file(source, target, fs::copy_options::overwrite_existing, error))
            file.target = target.string();
        else
            file.note = "cannot copy: " + error.message();
        return file;
    }
    const Decoded image = decode(source);
    if (!image.error.empty() && isBitmapName(source)) {
        // Kept in its place, so that it still plays as the stand-in pattern, as it would have.
        file.action = ConvertedFile::Action::Copied;
        file.note = why + ", cannot be decoded either: " + image.error;
        if (fs::copy_file(source, target, fs::copy_options::overwrite_existing, error))
            file.target = target.string();
        return file;
    }
    if (!image.error.empty()) {
        file.action = ConvertedFile::Action::Skipped;
        file.note = "cannot be decoded: " + image.error;
        return file;
    }
    file.action = ConvertedFile::Action::Converted;
    file.note = why.empty() ? source.extension().string().substr(1) + " file" : why;
    if (writeDecoded(image, target))
        file.target = target.string();
    else
        file.note = "cannot write " + target.string();
    return file;
}

// The cache key: where the tree is and what its files are, so an edited file is converted again.
std::string treeFingerprint(const fs::path& source, int cameras) {
    std::uint64_t hash = 14695981039346656037ull;
    auto mix = [&hash](const std::string& text) {
        for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
        hash = (hash ^ 0xff) * 1099511628211ull;
    };
    std::error_code error;
    mix(fs::weakly_canonical(source, error).string());
    mix(std::to_string(cameras));
    for (const fs::path& folder : readFolders(cameras)) {
        for (const fs::path& file : imageFilesIn(source / folder)) {
            mix(file.string());
            mix(std::to_string(fs::file_size(file, error)));
            mix(std::to_string(fs::last_write_time(file, error).time_since_epoch().count()));
        }
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

fs::path cacheRoot() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && fs::path(cache).is_absolute()) return fs::path(cache) / "tamra-grab";
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return fs::path(home) / ".cache" / "tamra-grab";
    return fs::temp_directory_path() / "tamra-grab-cache";
}

const char* actionName(ConvertedFile::Action action) {
    switch (action) {
        case ConvertedFile::Action::Converted:
            return "converted";
        case ConvertedFile::Action::Skipped:
            return "skipped";
        default:
            return "copied";
    }
}

}  // namespace

bool decodersAvailable() {
#ifdef TAMRA_GRAB_DECODERS
    return true;
#else
    return false;
#endif
}

bool needsConversion(const fs::path& root, int cameras, std::string* reason) {
    for (const fs::path& folder : readFolders(cameras)) {
        for (const fs::path& file : imageFilesIn(root / folder)) {
            std::string why;
            if (!isBitmapName(file)) {
                why = "not a bitmap";
            } else if (nativeBitmap(file, &why)) {
                continue;
            }
            if (reason) *reason = file.string() + " (" + why + ")";
            return true;
        }
    }
    return false;
}

Conversion convertTree(const fs::path& source, const fs::path& target, int cameras) {
    Conversion result;
    result.tree = target.string();
    std::error_code error;
    if (fs::exists(target, error) && !fs::is_empty(target, error)) {
        result.error = target.string() + " exists and is not empty";
        return result;
    }
    for (const fs::path& folder : readFolders(cameras)) {
        const std::vector<fs::path> files = imageFilesIn(source / folder);
        if (files.empty()) continue;
        if (!fs::create_directories(target / folder, error) && error) {
            result.error = "cannot create " + (target / folder).string() + ": " + error.message();
            return result;
        }
        for (std::size_t i = 0; i < files.size(); ++i) {
            result.files.push_back(
                convertOne(files[i], target / folder / numbered(i, files.size(), files[i])));
        }
    }
    return result;
}

Conversion convertCached(const fs::path& source, int cameras) {
    const fs::path folder = cacheRoot() / treeFingerprint(source, cameras);
    std::error_code error;
    Conversion result;
    if (fs::exists(folder / kCompleteMarker, error)) {
        std::ifstream manifest(folder / kCompleteMarker);
        try {
            nlohmann::json saved = nlohmann::json::parse(manifest);
            for (const auto& entry : saved) {
                ConvertedFile file;
                file.source = entry.value("source", "");
                file.target = entry.value("target", "");
                file.note = entry.value("note", "");
                const std::string action = entry.value("action", "copied");
                file.action = action == "converted" ? ConvertedFile::Action::Converted
                              : action == "skipped" ? ConvertedFile::Action::Skipped
                                                    : ConvertedFile::Action::Copied;
                result.files.push_back(file);
            }
            result.tree = folder.string();
            result.reused = true;
            return result;
        } catch (const nlohmann::json::exception&) {
            fs::remove_all(folder, error);  // a damaged cache entry is made again
        }
    }
    // Built beside its final place and renamed, so an interrupted run leaves no half tree.
    const fs::path building =
        folder.string() + ".building-" + std::to_string(std::random_device{}());
    fs::create_directories(building.parent_path(), error);
    result = convertTree(source, building, cameras);
    if (!result.error.empty()) {
        fs::remove_all(building, error);
        return result;
    }
    nlohmann::json manifest = nlohmann::json::array();
    for (ConvertedFile& file : result.files) {
        if (!file.target.empty())
            file.target = (folder / fs::path(file.target).lexically_relative(building)).string();
        manifest.push_back({{"source", file.source},
                            {"target", file.target},
                            {"action", actionName(file.action)},
                            {"note", file.note}});
    }
    std::ofstream(building / kCompleteMarker) << manifest.dump(1) << "\n";
    fs::remove_all(folder, error);
    fs::rename(building, folder, error);
    if (error) {
        fs::remove_all(building, error);
        result.error = "cannot fill the cache folder " + folder.string();
        return result;
    }
    result.tree = folder.string();
    return result;
}

nlohmann::json Conversion::toJson() const {
    nlohmann::json json = {{"tree", tree}, {"reused", reused}, {"files", nlohmann::json::array()}};
    for (const ConvertedFile& file : files) {
        json["files"].push_back(
            {{"source", file.source},
             {"target", file.target.empty() ? nlohmann::json() : nlohmann::json(file.target)},
             {"action", actionName(file.action)},
             {"note", file.note}});
    }
    return json;
}

void Conversion::print(std::ostream& out) const {
    std::size_t converted = 0, copied = 0, skipped = 0;
    for (const ConvertedFile& file : files) {
        if (file.action == ConvertedFile::Action::Converted) ++converted;
        if (file.action == ConvertedFile::Action::Copied) ++copied;
        if (file.action == ConvertedFile::Action::Skipped) ++skipped;
    }
    out << "conversion        " << converted << " converted, " << copied << " copied, " << skipped
        << " skipped into " << tree << (reused ? " (cached)" : "") << "\n";
    for (const ConvertedFile& file : files) {
        if (file.action == ConvertedFile::Action::Copied && file.note.empty()) continue;
        out << "  " << actionName(file.action) << " " << file.source;
        if (!file.note.empty()) out << " (" << file.note << ")";
        if (!file.target.empty()) out << " -> " << fs::path(file.target).filename().string();
        out << "\n";
    }
}

}  // namespace tamra_grab
