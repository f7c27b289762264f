// Recordings that say they hold a 360-degree picture, found by their boxes
// alone: generated MP4 and MOV files with each kind of spherical metadata,
// plain ones, and damaged copies that must read as "not spherical".
#include "core/SphericalProbe.h"
#include "MediaGen.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

class SphericalProbe : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("rovix-spherical-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string make(const std::string& name, mediagen::Container container, int tag)
    {
        mediagen::RecordingSpec wanted;
        wanted.container = container;
        wanted.equirect = true;
        wanted.width = 192;
        wanted.height = 96;
        wanted.frames = 3;
        const std::string path = (dir / name).string();
        std::string error;
        EXPECT_TRUE(mediagen::writeRecording(path, wanted, &error)) << error;
        if (tag >= 0) {
            EXPECT_TRUE(
                mediagen::addSphericalMetadata(path, static_cast<mediagen::SphericalTag>(tag), &error))
                << error;
        }
        return path;
    }

    fs::path dir;
};

} // namespace

TEST_F(SphericalProbe, FindsEachKindOfMetadataAndNothingElse)
{
    const int sv3d = static_cast<int>(mediagen::SphericalTag::Sv3d);
    const int xmp = static_cast<int>(mediagen::SphericalTag::XmpUuid);
    EXPECT_TRUE(pmIsSphericalVideo(make("a.mp4", mediagen::Container::Mp4, sv3d)));
    EXPECT_TRUE(pmIsSphericalVideo(make("b.mov", mediagen::Container::Mov, sv3d)));
    EXPECT_TRUE(pmIsSphericalVideo(make("c.mp4", mediagen::Container::Mp4, xmp)));
    EXPECT_FALSE(pmIsSphericalVideo(make("flat.mp4", mediagen::Container::Mp4, -1)));
    EXPECT_FALSE(pmIsSphericalVideo((dir / "missing.mp4").string()));
    EXPECT_FALSE(pmIsSphericalVideo(dir.string()));

    // The XMP box saying false is not spherical.
    const std::string no = make("d.mp4", mediagen::Container::Mp4, xmp);
    {
        std::fstream f(no, std::ios::in | std::ios::out | std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        const auto at = all.find("Spherical>true");
        ASSERT_NE(at, std::string::npos);
        f.seekp(static_cast<std::streamoff>(at + 10));
        f.write("fals", 4);
    }
    EXPECT_FALSE(pmIsSphericalVideo(no));
}

TEST_F(SphericalProbe, DamagedFilesAreNotSpherical)
{
    const std::string good =
        make("good.mp4", mediagen::Container::Mp4, static_cast<int>(mediagen::SphericalTag::Sv3d));
    const auto size = fs::file_size(good);
    // Cut before the end of the metadata: the enclosing boxes claim more than the file holds.
    for (uint64_t cut : {uint64_t(0), uint64_t(7), size / 2, size - 40, size - 1}) {
        const std::string path = (dir / ("cut" + std::to_string(cut) + ".mp4")).string();
        ASSERT_TRUE(mediagen::truncatedCopy(good, path, cut));
        EXPECT_FALSE(pmIsSphericalVideo(path)) << cut;
    }
    // A box that claims to be larger than the file, and one of size 4.
    std::string bytes = std::string("\x00\x00\x00\x18"
                                    "ftypisom",
                                    12) +
                        std::string(12, '\0') +
                        std::string("\x7f\xff\xff\xff"
                                    "moov",
                                    8);
    const std::string liar = (dir / "liar.mp4").string();
    std::ofstream(liar, std::ios::binary) << bytes;
    EXPECT_FALSE(pmIsSphericalVideo(liar));
    bytes.replace(24, 4, std::string("\x00\x00\x00\x04", 4));
    std::ofstream(liar, std::ios::binary | std::ios::trunc) << bytes;
    EXPECT_FALSE(pmIsSphericalVideo(liar));
}
