// Emulator image store: counting and listing passes, the bounds between them, serving order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <tamra/Types.h>

#include "behaviour/images_support.h"
#include "emulator/ImageStore.h"

namespace {

using images_test::TempDir;
using tamra::emulator::ImageStore;
namespace samples = tamra::samples;

ImageStore::ScanRules acceptAll() {
    ImageStore::ScanRules rules;
    rules.conforms = [](const std::string&) { return true; };
    return rules;
}

std::vector<std::string> expectedPaths(const TempDir& root,
                                       const std::vector<samples::TreeEntry>& list) {
    std::vector<std::string> paths;
    for (const samples::TreeEntry& entry : list) paths.push_back(root.file(entry.relativePath));
    return paths;
}

void touch(const std::string& path) {
    images_test::writeBytes(path, {'x'});
}

TEST(ImageStoreScan, ListsEachCameraLooseThenPassThenFailAndCalibrationApart) {
    TempDir root("scan");
    const auto entries = samples::writeSampleTree(root.str(), samples::TreeOptions{});
    ImageStore store;
    const unsigned int seen = store.scan(root.str(), 2, acceptAll());
    EXPECT_EQ(seen, 9u + 8u);  // camera 0: 5 loose, 2 pass, 2 fail; camera 1: 4, 2, 2
    for (int camera = 0; camera < 2; ++camera) {
        EXPECT_EQ(store.list(camera, false),
                  expectedPaths(root, samples::cameraList(entries, camera, false)));
        EXPECT_EQ(store.list(camera, true),
                  expectedPaths(root, samples::cameraList(entries, camera, true)));
    }
    for (int camera = 2; camera < 8; ++camera) EXPECT_EQ(store.count(camera, false), 0u);
}

TEST(ImageStoreScan, CamerasBeyondTheCountAreNeitherCountedNorListed) {
    TempDir root("onecamera");
    samples::writeSampleTree(root.str(), samples::TreeOptions{});
    ImageStore store;
    EXPECT_EQ(store.scan(root.str(), 1, acceptAll()), 9u);
    EXPECT_EQ(store.count(0, false), 9u);
    EXPECT_EQ(store.count(1, false), 0u);
    EXPECT_EQ(store.count(1, true), 0u);
}

TEST(ImageStoreScan, CalibrationOnlyTreeListsCalibrationButReportsNothingSeen) {
    TempDir root("calibonly");
    touch(root.file("calib/a.bmp"));
    touch(root.file("calib/b.BMP"));
    ImageStore store;
    EXPECT_EQ(store.scan(root.str(), 1, acceptAll()), 0u);
    EXPECT_EQ(store.count(0, true), 2u);
    EXPECT_EQ(store.count(0, false), 0u);
}

TEST(ImageStoreScan, SameNameLooseAndInPassIsListedTwiceLooseFirst) {
    TempDir root("twice");
    touch(root.file("a.bmp"));
    touch(root.file("pass/a.bmp"));
    touch(root.file("notes.txt"));
    ImageStore store;
    store.scan(root.str(), 1, acceptAll());
    EXPECT_EQ(store.list(0, false),
              (std::vector<std::string>{root.file("a.bmp"), root.file("pass/a.bmp")}));
}

TEST(ImageStoreScan, RefusedFilesTakeNoPlaceButStillCountAsSeen) {
    TempDir root("refused");
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) touch(root.file(name));
    ImageStore::ScanRules rules;
    rules.conforms = [](const std::string& path) {
        return path.find("b.bmp") == std::string::npos;
    };
    ImageStore store;
    EXPECT_EQ(store.scan(root.str(), 1, rules), 3u);
    EXPECT_EQ(store.list(0, false),
              (std::vector<std::string>{root.file("a.bmp"), root.file("c.bmp")}));
}

TEST(ImageStoreScan, TheFirstFileRuleSeesOnlyTheFirstMainCandidateOfTheWholePass) {
    TempDir root("first");
    touch(root.file("calib/c.bmp"));
    touch(root.file("Cam1/z.bmp"));
    touch(root.file("Cam1/pass/y.bmp"));
    std::vector<std::string> seen;
    ImageStore::ScanRules rules = acceptAll();
    rules.firstMainCandidate = [&seen](const std::string& path) { seen.push_back(path); };
    ImageStore store;
    store.scan(root.str(), 2, rules);
    // Camera 0 has no main file, so the first candidate is camera 1's first.
    EXPECT_EQ(seen, std::vector<std::string>{root.file("Cam1/z.bmp")});
}

TEST(ImageStoreScan, FilesAppearingAfterTheCountAreIgnored) {
    TempDir root("appear");
    touch(root.file("a.bmp"));
    touch(root.file("pass/b.bmp"));
    ImageStore::ScanRules rules;
    rules.conforms = [&root](const std::string&) {
        touch(root.file("pass/a0.bmp"));  // sorts before b.bmp
        return true;
    };
    ImageStore store;
    EXPECT_EQ(store.scan(root.str(), 1, rules), 2u);
    EXPECT_EQ(store.list(0, false),
              (std::vector<std::string>{root.file("a.bmp"), root.file("pass/a0.bmp")}));
}

TEST(ImageStoreScan, FoldersNamedLikeBitmapsAreListedAndOverlongPathsAreNot) {
    TempDir root("names");
    std::filesystem::create_directories(root.file("folder.bmp"));
    const std::string longName(250, 'n');
    touch(root.file(longName.substr(0, 230) + ".bmp"));
    ImageStore store;
    EXPECT_EQ(store.scan(root.str(), 1, acceptAll()), 1u);
    EXPECT_EQ(store.list(0, false), std::vector<std::string>{root.file("folder.bmp")});
    EXPECT_EQ(store.scan(root.str() + "/" + longName, 1, acceptAll()), 0u);
    EXPECT_EQ(store.scan(root.file("missing"), 8, acceptAll()), 0u);
}

TEST(ImageStoreServing, EachListPlaysRoundRobinWithItsOwnCursor) {
    TempDir root("serve");
    for (const char* name :
         {"a.bmp", "b.bmp", "c.bmp", "Cam1/x.bmp", "Cam1/y.bmp", "calib/k.bmp"}) {
        touch(root.file(name));
    }
    ImageStore store;
    store.scan(root.str(), 2, acceptAll());
    std::vector<std::string> served;
    for (int i = 0; i < 5; ++i) served.push_back(*store.next(0, IFW_EMU_IMAGE_NORMAL));
    served.push_back(*store.next(1, IFW_EMU_IMAGE_PATTERN));
    served.push_back(*store.next(0, IFW_EMU_IMAGE_CALIB));
    served.push_back(*store.next(0, IFW_EMU_IMAGE_NORMAL));
    served.push_back(*store.next(1, IFW_EMU_IMAGE_NORMAL));
    EXPECT_EQ(served, (std::vector<std::string>{
                          root.file("a.bmp"), root.file("b.bmp"), root.file("c.bmp"),
                          root.file("a.bmp"), root.file("b.bmp"), root.file("Cam1/x.bmp"),
                          root.file("calib/k.bmp"), root.file("c.bmp"), root.file("Cam1/y.bmp")}));
    EXPECT_EQ(store.next(1, IFW_EMU_IMAGE_CALIB), nullptr);
    EXPECT_EQ(store.next(0, 3), nullptr);
    EXPECT_EQ(store.next(8, IFW_EMU_IMAGE_NORMAL), nullptr);
    EXPECT_EQ(store.next(-1, IFW_EMU_IMAGE_NORMAL), nullptr);

    // A new scan starts every list at its first entry again.
    store.scan(root.str(), 2, acceptAll());
    EXPECT_EQ(*store.next(0, IFW_EMU_IMAGE_NORMAL), root.file("a.bmp"));
    store.clear();
    EXPECT_EQ(store.next(0, IFW_EMU_IMAGE_NORMAL), nullptr);
}

}  // namespace
