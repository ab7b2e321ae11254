// Camera files: taken exactly as written, refused with a reason when unusable.

#include "TempDir.h"
#include "kit/InputError.h"
#include "kit/camera/CameraFile.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using kvhlr::InputError;
using kvhlrtest::TempDir;

// A front view from z = 10 of an orthographic 4 x 4 window, depths 1 to 20.
const char* kCamera = R"({"modelView": [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, -10, 0, 0, 0, 1],
  "projection": [0.5, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, -0.1, -1.1, 0, 0, 0, 1],
  "near": 1, "far": 20, "lines": []})";

std::string reasonOf(const std::string& path) {
    try {
        kvhlr::readCameraFile(path);
    } catch (const InputError& error) {
        EXPECT_EQ(error.subject(), path);
        return error.reason();
    }
    return "";
}

std::vector<kvhlr::MeshPart> modelAt(double z) {
    kvhlr::MeshPart part;
    part.points = {{0, 0, 0}, {1, 1, z}};
    return {part};
}

TEST(CameraFile, RefusesFilesThatDoNotDescribeACamera) {
    TempDir dir;
    std::filesystem::create_symlink("loop.json", dir.path("loop.json"));
    const std::string identity = "[1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1]";
    const std::string camera = R"({"modelView": )" + identity + R"(, "projection": )" + identity +
                               R"(, "near": 1, "far": 2, "lines": )";
    const std::pair<std::string, std::string> cases[] = {
        {dir.write("good.json", kCamera), ""}, // extra keys, as in a drawing file, are ignored
        {dir.path("missing.json"), "no such file"},
        {dir.path(""), "is a directory, not a camera file"},
        {dir.path("loop.json"), "cannot open: too many levels of symbolic links"},
        {dir.write("text.json", "modelView: identity"), "JSON"},
        {dir.write("array.json", "[1, 2]"), "object"},
        {dir.write("nofar.json",
                   "{\"modelView\": " + identity + ", \"projection\": " + identity + ", \"near\": 1}"),
         "\"far\""},
        {dir.write("short.json", R"({"modelView": [1,0,0,0,0,1,0,0,0,0,1,0,0,0,0], "projection": )" +
                                     identity + R"(, "near": 1, "far": 2})"),
         "16 numbers"},
        {dir.write("string.json", R"({"modelView": [1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,"1"], "projection": )" +
                                      identity + R"(, "near": 1, "far": 2})"),
         "numbers"},
        // The members not read are skimmed, their structure checked all the same.
        {dir.write("drawing.json", camera + R"([{"kind": "hidden \"]}", "points": [[1e-3, -2E+4]], "x": {}},
                                               {"level": null, "y": [true, false, [], "\\"]}]})"),
         ""},
        {dir.write("cut.json", camera + R"([{"kind": "visible", "points": [[1, 2], [3)"), "JSON"},
        {dir.write("mismatched.json", camera + "[[1, 2}]}"), "JSON"},
        {dir.write("nocomma.json", camera + "[1 2]}"), "JSON"},
        {dir.write("noname.json", camera + "[{1: 2}]}"), "JSON"},
        {dir.write("after.json", camera + "[]} []"), "JSON"},
        {dir.write("backslash.json", camera + R"(["\)"), "JSON"},
    };
    for (const auto& [path, reason] : cases) {
        if (reason.empty())
            EXPECT_EQ(reasonOf(path), "") << path;
        else
            EXPECT_NE(reasonOf(path).find(reason), std::string::npos) << path << ": " << reasonOf(path);
    }
    EXPECT_NE(reasonOf(dir.write("huge.json", "{\"modelView\": " + identity + ", \"projection\": " + identity +
                                                  ", \"near\": 1e999, \"far\": 2}")),
              "");
}

TEST(CameraFile, RefusesCamerasThatCannotDrawTheModel) {
    TempDir dir;
    const std::string path = dir.write("camera.json", kCamera);
    KvHLR::ViewInfoCriteria camera = kvhlr::readCameraFile(path);
    EXPECT_NO_THROW(kvhlr::checkCamera(camera, modelAt(5), path));
    auto reason = [&](const KvHLR::ViewInfoCriteria& c, double z) {
        try {
            kvhlr::checkCamera(c, modelAt(z), path);
        } catch (const InputError& error) {
            EXPECT_EQ(error.subject(), path);
            return error.reason();
        }
        return std::string();
    };
    EXPECT_NE(reason(camera, 9).find("near plane"), std::string::npos) << "z = 9 lies at the near plane";
    EXPECT_NE(reason(camera, 12).find("near plane"), std::string::npos) << "z = 12 lies behind the eye";
    KvHLR::ViewInfoCriteria flat = camera;
    flat.modelViewXform[2][2] = 0.0;
    EXPECT_NE(reason(flat, 5).find("modelView"), std::string::npos);
    KvHLR::ViewInfoCriteria singular = camera;
    singular.projectionXform[1][1] = 0.0;
    EXPECT_NE(reason(singular, 5).find("projection"), std::string::npos);
    // Models in very large or very small units: the size of an entry alone says nothing.
    KvHLR::ViewInfoCriteria farAway = camera;
    farAway.modelViewXform[0][3] = 1e15;
    farAway.projectionXform[0][0] *= 1e-6;
    farAway.projectionXform[1][1] *= 1e-6;
    EXPECT_EQ(reason(farAway, 5), "");
    KvHLR::ViewInfoCriteria vanishing =
        camera; // w = 1 + z_view / 10 vanishes at the eye's plane z_view = -10
    vanishing.projectionXform[3][2] = 0.1;
    EXPECT_NE(reason(vanishing, 0).find("infinity"), std::string::npos);
}

} // namespace
