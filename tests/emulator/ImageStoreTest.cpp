// Emulator image store: what a scan lists and counts, which file the first-file rule sees, and
// the order lists are served in. Conforming and the geometry the first file sets are tested
// through the emulator, where a client sees them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <tamra/Types.h>

#include "emulator/ImageStore.h"
#include "support/ImageFiles.h"

namespace {

using images_test::TempDir;
using tamra::emulator::ImageStore;
using Names = std::vector<std::string>;
namespace samples = tamra::samples;

ImageStore::ScanRules acceptAll() {
    ImageStore::ScanRules rules;
    rules.conforms = [](const std::string&) { return true; };
    return rules;
}

void touch(const TempDir& root, std::initializer_list<const char*> names) {
    for (const char* name : names) images_test::writeBytes(root.file(name), {'x'});
}

TEST(ImageStoreScan, ListsEachCameraLooseThenPassThenFailAndCalibrationApart) {
    TempDir root("scan");
    const auto entries = samples::writeSampleTree(root.str(), samples::TreeOptions{});
    ImageStore store;
    EXPECT_EQ(store.scan(root.str(), 2, acceptAll()), 9u + 8u);  // 5+2+2 and 4+2+2 files
    for (int camera = 0; camera < 2; ++camera) {
        for (bool calibration : {false, true}) {
            Names expected;
            for (const auto& entry : samples::cameraList(entries, camera, calibration)) {
                expected.push_back(root.file(entry.relativePath));
            }
            EXPECT_EQ(store.list(camera, calibration), expected) << camera << calibration;
        }
    }
    for (int camera = 2; camera < 8; ++camera) EXPECT_EQ(store.count(camera, false), 0u);
    // Cameras beyond the count are neither counted nor listed.
    EXPECT_EQ(store.scan(root.str(), 1, acceptAll()), 9u);
    EXPECT_EQ(store.count(1, false) + store.count(1, true), 0u);
}

TEST(ImageStoreScan, WhatCountsAsSeenAndWhatTakesAPlace) {
    TempDir calibOnly("calibonly");
    touch(calibOnly, {"calib/a.bmp", "calib/b.BMP"});
    ImageStore store;
    EXPECT_EQ(store.scan(calibOnly.str(), 1, acceptAll()), 0u);
    EXPECT_EQ(store.count(0, true) * 10 + store.count(0, false), 20u);

    // The same name loose and in pass is listed twice, loose first; refused files take no place
    // but count as seen; other extensions are not seen.
    TempDir root("refused");
    touch(root, {"a.bmp", "b.bmp", "pass/a.bmp", "notes.txt"});
    ImageStore::ScanRules rules;
    rules.conforms = [](const std::string& path) { return path.find("b.bmp") == path.npos; };
    EXPECT_EQ(store.scan(root.str(), 1, rules), 3u);
    EXPECT_EQ(store.list(0, false), (Names{root.file("a.bmp"), root.file("pass/a.bmp")}));
}

TEST(ImageStoreScan, TheFirstFileRuleSeesOnlyTheFirstMainCandidateOfTheWholePass) {
    TempDir root("first");
    touch(root, {"calib/c.bmp", "Cam1/z.bmp", "Cam1/pass/y.bmp"});
    Names seen;
    ImageStore::ScanRules rules = acceptAll();
    rules.firstMainCandidate = [&seen](const std::string& path) { seen.push_back(path); };
    ImageStore store;
    store.scan(root.str(), 2, rules);
    // Camera 0 has no main file, so the first candidate is camera 1's first.
    EXPECT_EQ(seen, Names{root.file("Cam1/z.bmp")});
}

TEST(ImageStoreScan, FilesAppearingAfterTheCountAreIgnored) {
    TempDir root("appear");
    touch(root, {"a.bmp", "pass/b.bmp"});
    ImageStore::ScanRules rules;
    rules.conforms = [&root](const std::string&) {
        touch(root, {"pass/a0.bmp"});  // sorts before b.bmp
        return true;
    };
    ImageStore store;
    EXPECT_EQ(store.scan(root.str(), 1, rules), 2u);
    EXPECT_EQ(store.list(0, false), (Names{root.file("a.bmp"), root.file("pass/a0.bmp")}));
}

TEST(ImageStoreScan, FoldersNamedLikeBitmapsAreListedAndOverlongPathsAreNot) {
    TempDir root("names");
    std::filesystem::create_directories(root.file("folder.bmp"));
    const std::string longName(250, 'n');
    touch(root, {(longName.substr(0, 230) + ".bmp").c_str()});
    ImageStore store;
    EXPECT_EQ(store.scan(root.str(), 1, acceptAll()), 1u);
    EXPECT_EQ(store.list(0, false), Names{root.file("folder.bmp")});
    EXPECT_EQ(store.scan(root.str() + "/" + longName, 1, acceptAll()) +
                  store.scan(root.file("missing"), 8, acceptAll()),
              0u);
}

TEST(ImageStoreServing, EachListPlaysRoundRobinWithItsOwnCursor) {
    TempDir root("serve");
    touch(root, {"a.bmp", "b.bmp", "c.bmp", "Cam1/x.bmp", "Cam1/y.bmp", "calib/k.bmp"});
    ImageStore store;
    store.scan(root.str(), 2, acceptAll());
    Names served;
    for (int i = 0; i < 5; ++i) served.push_back(*store.next(0, IFW_EMU_IMAGE_NORMAL));
    served.push_back(*store.next(1, IFW_EMU_IMAGE_PATTERN));
    served.push_back(*store.next(0, IFW_EMU_IMAGE_CALIB));
    served.push_back(*store.next(0, IFW_EMU_IMAGE_NORMAL));
    served.push_back(*store.next(1, IFW_EMU_IMAGE_NORMAL));
    EXPECT_EQ(served,
              (Names{root.file("a.bmp"), root.file("b.bmp"), root.file("c.bmp"), root.file("a.bmp"),
                     root.file("b.bmp"), root.file("Cam1/x.bmp"), root.file("calib/k.bmp"),
                     root.file("c.bmp"), root.file("Cam1/y.bmp")}));
    EXPECT_EQ(std::vector<const std::string*>({store.next(1, IFW_EMU_IMAGE_CALIB), store.next(0, 3),
                                               store.next(8, IFW_EMU_IMAGE_NORMAL),
                                               store.next(-1, IFW_EMU_IMAGE_NORMAL)}),
              std::vector<const std::string*>(4, nullptr));
    // A new scan starts every list at its first entry again.
    store.scan(root.str(), 2, acceptAll());
    EXPECT_EQ(*store.next(0, IFW_EMU_IMAGE_NORMAL), root.file("a.bmp"));
    store.clear();
    EXPECT_EQ(store.next(0, IFW_EMU_IMAGE_NORMAL), nullptr);
}

}  // namespace
