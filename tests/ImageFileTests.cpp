#include "images/ProgramFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#ifdef __linux__
#include <linux/fs.h>
#endif
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vektal-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path Write(const std::string& name, std::size_t size, std::uint8_t seed = 1) {
        const fs::path p = dir_ / PathFromUtf8(name);
        std::ofstream out(p, std::ios::binary);
        for (std::size_t i = 0; i < size; ++i) {
            out.put(static_cast<char>(seed + i * 3));
        }
        return p;
    }
    static std::vector<std::uint8_t> Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::size_t FilesInFolder() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }

    fs::path dir_;
    ProgramImages images;
};

using LoadTest = TempFolder;

TEST_F(LoadTest, AcceptedSizesFillTheRestWithFF) {
    struct Case {
        std::size_t size;
        int sectors;
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{256, 1}, Case{257, 2}, Case{131072, 512}}) {
        SCOPED_TRACE(c.size);
        images.FileImage.fill(0x00);
        const auto path = Write("prog.bin", c.size, 9);
        const LoadResult r = LoadProgramFile(images, path);
        ASSERT_EQ(r.outcome, LoadOutcome::Loaded);
        EXPECT_EQ(images.ProgramLoaded, 1);
        EXPECT_EQ(images.ProgramSize, c.size);
        EXPECT_EQ(images.SectorCount, c.sectors);
        EXPECT_EQ(r.fileName, "prog.bin");
        EXPECT_EQ(r.fullPath, PathToUtf8(path));
        EXPECT_EQ(r.sizeText, std::to_string(c.size));
        EXPECT_EQ(r.sectorsText, std::to_string(c.sectors));
        const auto bytes = Read(path);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), images.FileImage.begin()));
        EXPECT_TRUE(std::all_of(images.FileImage.begin() + static_cast<long>(c.size),
                                images.FileImage.end(), [](std::uint8_t b) { return b == 0xFF; }));
    }
}

TEST_F(LoadTest, OversizedFileIsRefusedAndKeepsTheImage) {
    ASSERT_EQ(LoadProgramFile(images, Write("a.bin", 300, 4)).outcome, LoadOutcome::Loaded);
    const auto before = images.FileImage;
    const LoadResult r = LoadProgramFile(images, Write("big.bin", 131073));
    EXPECT_EQ(r.outcome, LoadOutcome::TooLarge);
    EXPECT_EQ(images.ProgramLoaded, 0);
    EXPECT_EQ(images.FileImage, before);
    EXPECT_TRUE(r.fileName.empty());
}

TEST_F(LoadTest, UnreadablePathsFail) {
    ASSERT_EQ(LoadProgramFile(images, Write("a.bin", 10)).outcome, LoadOutcome::Loaded);
    fs::create_directory(dir_ / "folder.bin");
    for (const fs::path& p : {dir_ / "missing.bin", dir_ / "folder.bin"}) {
        SCOPED_TRACE(p);
        images.ProgramLoaded = 1;
        EXPECT_EQ(LoadProgramFile(images, p).outcome, LoadOutcome::CannotRead);
        EXPECT_EQ(images.ProgramLoaded, 0);
    }
}

// Sets the immutable attribute, which refuses writing even to root; returns
// whether the file system took it.
bool SetImmutable(const fs::path& path, bool on) {
#ifdef __linux__
    const int fd = ::open(path.c_str(), O_RDONLY);
    int flags = 0;
    bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return done;
#else
    (void)path;
    (void)on;
    return false;
#endif
}

TEST_F(LoadTest, FileThatMayNotBeWrittenLoads) {
    const auto path = Write("ro.bin", 512);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const bool immutable = SetImmutable(path, true);
    if (immutable) {
        EXPECT_FALSE(std::ofstream(path, std::ios::app).is_open()) << "the file refuses writing";
    }
    EXPECT_EQ(LoadProgramFile(images, path).outcome, LoadOutcome::Loaded);
    EXPECT_EQ(images.SectorCount, 2);
    if (immutable) {
        SetImmutable(path, false);
    }
}

TEST_F(LoadTest, CyrillicNameLoadsAndShowsItsName) {
    const auto path = Write("прошивка ВЕКТАЛ.bin", 1000);
    const LoadResult r = LoadProgramFile(images, path);
    ASSERT_EQ(r.outcome, LoadOutcome::Loaded);
    EXPECT_EQ(r.fileName, "прошивка ВЕКТАЛ.bin");
    EXPECT_EQ(r.sizeText, "1000");
    EXPECT_EQ(r.sectorsText, "4");
}

using SaveTest = TempFolder;

TEST_F(SaveTest, WritesWholeMemoryOverAnExistingFileAndKeepsTheFlag) {
    for (std::size_t i = 0; i < images.DeviceImage.size(); ++i) {
        images.DeviceImage[i] = static_cast<std::uint8_t>(i % 251);
    }
    images.DeviceImageValid = 1;
    const auto path = Write("сохранено.bin", 77);
    ASSERT_EQ(SaveDeviceImage(images, path), SaveOutcome::Saved);
    const auto bytes = Read(path);
    ASSERT_EQ(bytes.size(), MaxProgramSize);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), images.DeviceImage.begin()));
    EXPECT_EQ(images.DeviceImageValid, 1);
    EXPECT_EQ(FilesInFolder(), 1u);
}

TEST_F(SaveTest, FailedSaveLeavesTheOldFileWhole) {
    const auto path = Write("old.bin", 5000, 42);
    const auto old = Read(path);
    // Let the process write no more than 4096 bytes to any file: the save fails midway.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const SaveOutcome outcome = SaveDeviceImage(images, path);
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_EQ(outcome, SaveOutcome::Failed);
    EXPECT_EQ(Read(path), old);
    EXPECT_EQ(FilesInFolder(), 1u) << "no temporary file is left behind";
}

TEST_F(SaveTest, UnwritableTargetsFail) {
    fs::create_directory(dir_ / "taken.bin");
    for (const fs::path& p : {dir_ / "no-such-folder" / "a.bin", dir_ / "taken.bin"}) {
        SCOPED_TRACE(p);
        EXPECT_EQ(SaveDeviceImage(images, p), SaveOutcome::Failed);
    }
    EXPECT_TRUE(fs::is_directory(dir_ / "taken.bin"));
    EXPECT_EQ(FilesInFolder(), 1u);
}

TEST(CompareTest, CountsOnlyLoadedBytesWithinWritableSectors) {
    struct Case {
        const char* name;
        std::size_t programSize;
        std::vector<std::size_t> differAt;
        std::size_t expected;
    };
    const Case cases[] = {
        {"equal", 1000, {}, 0},
        {"two differences", 1000, {0, 999}, 2},
        {"past the file's own length", 1000, {1000, 5000}, 0},
        {"last six sectors not compared", 131072, {129535, 129536, 131071}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramImages images;
        images.FileImage.fill(0xFF);
        images.DeviceImage.fill(0xFF);
        images.ProgramSize = c.programSize;
        images.ProgramLoaded = 1;
        images.DeviceImageValid = 1;
        for (auto at : c.differAt) {
            images.DeviceImage[at] = 0x12;
        }
        const CompareResult r = CompareImages(images, 16);
        EXPECT_EQ(r.differences, c.expected);
        EXPECT_EQ(r.first.size(), c.expected);
        const ShownMessage m = CompareMessage(r);
        if (c.expected == 0) {
            EXPECT_EQ(m.text, "OK");
            EXPECT_EQ(m.caption, "Программатор");
            EXPECT_EQ(m.icon, texts::MessageIcon::None);
        } else {
            EXPECT_EQ(m.text, "Количество обнаруженных ошибок = " + std::to_string(c.expected));
            EXPECT_EQ(m.caption, "Ошибка");
            EXPECT_EQ(m.icon, texts::MessageIcon::Error);
        }
    }
}

TEST(CompareTest, NeedsBothImagesAndKeepsTheFirstDifferences) {
    for (auto [loaded, valid] : {std::pair{0, 1}, {1, 0}, {0, 0}}) {
        ProgramImages images;
        images.ProgramLoaded = loaded;
        images.DeviceImageValid = valid;
        const ShownMessage m = CompareMessage(CompareImages(images));
        EXPECT_EQ(m.text, "Один из файлов не загружен");
        EXPECT_EQ(m.icon, texts::MessageIcon::Warning);
    }
    ProgramImages images;
    images.ProgramSize = 100;
    images.ProgramLoaded = images.DeviceImageValid = 1;
    for (std::size_t i = 0; i < 40; ++i) {
        images.FileImage[i] = 0xAA;
    }
    const CompareResult r = CompareImages(images, 16);
    EXPECT_EQ(r.differences, 40u);
    ASSERT_EQ(r.first.size(), 16u);
    EXPECT_EQ(r.first[3].offset, 3u);
    EXPECT_EQ(r.first[3].fileByte, 0xAA);
    EXPECT_EQ(r.first[3].deviceByte, 0x00);
}

} // namespace
