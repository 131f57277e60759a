#include "images/ProgramFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#ifdef _WIN32
#include <windows.h>
#else
#include "Unprivileged.h"

#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vektal-" + std::to_string(std::random_device{}()) + "-" +
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

TEST_F(LoadTest, PipeIsRefusedAtOnce) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no named pipes in the file system";
#else
    // Opening a pipe would block for ever.
    ASSERT_EQ(::mkfifo((dir_ / "pipe.bin").c_str(), 0600), 0);
    images.ProgramLoaded = 1;
    EXPECT_EQ(LoadProgramFile(images, dir_ / "pipe.bin").outcome, LoadOutcome::CannotRead);
    EXPECT_EQ(images.ProgramLoaded, 0);
#endif
}

#ifdef _WIN32
TEST_F(LoadTest, FileThatMayNotBeWrittenLoads) {
    const auto path = Write("ro.bin", 512);
    // Read-only, and held open by another program that lets others only read.
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    const HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(std::ofstream(path, std::ios::app).is_open()) << "the file refuses writing";
    EXPECT_EQ(LoadProgramFile(images, path).outcome, LoadOutcome::Loaded);
    EXPECT_EQ(images.SectorCount, 2);
    // Let go and cleared again, so that the folder can be removed.
    CloseHandle(holder);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}
#else
TEST_F(LoadTest, FileThatMayNotBeWrittenLoads) {
    const auto path = Write("ro.bin", 512);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    HandOverFolder(dir_);
    [[maybe_unused]] const int owned = ::chown(path.c_str(), UnprivilegedUser, UnprivilegedUser);
    const int result = RunUnprivileged([&] {
        if (std::ofstream(path, std::ios::app).is_open()) {
            return 2; // the file did not refuse writing
        }
        const bool loaded = LoadProgramFile(images, path).outcome == LoadOutcome::Loaded;
        return loaded && images.SectorCount == 2 ? 0 : 1;
    });
    EXPECT_EQ(result, 0) << "2: the file could be written; 1: it did not load";
}
#endif

TEST_F(LoadTest, CyrillicNamesLoadAndShowTheirNames) {
    fs::create_directory(dir_ / PathFromUtf8("Программы"));
    for (const char* name : {"прошивка ВЕКТАЛ.bin", "Программы/версия 2.bin"}) {
        SCOPED_TRACE(name);
        const auto path = Write(name, 1000);
        const LoadResult r = LoadProgramFile(images, path);
        ASSERT_EQ(r.outcome, LoadOutcome::Loaded);
        EXPECT_EQ(r.fileName, PathToUtf8(path.filename()));
        EXPECT_EQ(r.fullPath, PathToUtf8(path));
        EXPECT_NE(r.fullPath.find(PathToUtf8(path.parent_path().filename())), std::string::npos);
        EXPECT_EQ(r.sizeText, "1000");
        EXPECT_EQ(r.sectorsText, "4");
    }
}

TEST_F(LoadTest, LineEndAndEndOfFileBytesSurviveALoadAndACompare) {
    // Bytes a text-mode read would change or stop at on Windows.
    const std::string bytes("\x0A\x0D\x1A\x0D\x0A\x1A\x00\xFF", 8);
    const fs::path path = dir_ / "control.bin";
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    ASSERT_EQ(LoadProgramFile(images, path).outcome, LoadOutcome::Loaded);
    EXPECT_EQ(images.ProgramSize, bytes.size());
    EXPECT_TRUE(
        std::equal(bytes.begin(), bytes.end(), images.FileImage.begin(),
                   [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));
    std::copy(images.FileImage.begin(), images.FileImage.end(), images.DeviceImage.begin());
    images.DeviceImageValid = 1;
    EXPECT_EQ(CompareImages(images).outcome, CompareOutcome::Equal);
    images.DeviceImage[2] = 0x1B;
    EXPECT_EQ(CompareImages(images).differences, 1u);
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
