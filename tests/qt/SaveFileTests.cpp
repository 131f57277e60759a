// Saving DeviceImage: one complete file or the old one untouched, whatever
// the target is.

#include "../Unprivileged.h"

#include "qt/FileSaving.h"

#include <gtest/gtest.h>

#include <QString>

#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class SaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vektal-save-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        for (std::size_t i = 0; i < images.DeviceImage.size(); ++i) {
            images.DeviceImage[i] = static_cast<std::uint8_t>(i % 251);
        }
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path Write(const std::string& name, std::size_t size, char fill = 'x') {
        const fs::path p = dir_ / PathFromUtf8(name);
        std::ofstream(p, std::ios::binary) << std::string(size, fill);
        return p;
    }
    static std::vector<std::uint8_t> Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    SaveOutcome Save(const fs::path& p) {
        return SaveDeviceImage(images, QString::fromStdString(PathToUtf8(p)));
    }
    bool HoldsTheImage(const fs::path& p) const {
        const auto bytes = Read(p);
        return bytes.size() == MaxProgramSize &&
               std::equal(bytes.begin(), bytes.end(), images.DeviceImage.begin());
    }
    std::size_t FilesInFolder() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }

    fs::path dir_;
    ProgramImages images;
};

TEST_F(SaveTest, WritesTheWholeMemoryOverAnExistingFile) {
    images.DeviceImageValid = 1;
    for (const char* name : {"сохранено.bin", "new.bin"}) {
        SCOPED_TRACE(name);
        const auto path = name[0] == 'n' ? dir_ / name : Write(name, 77);
        ASSERT_EQ(Save(path), SaveOutcome::Saved);
        EXPECT_TRUE(HoldsTheImage(path));
    }
    EXPECT_EQ(images.DeviceImageValid, 1);
    EXPECT_EQ(FilesInFolder(), 2u) << "no temporary file is left";
}

TEST_F(SaveTest, TargetHeldOpenByAnotherProgramIsReplacedWhole) {
    const auto path = Write("held.bin", 300, 'h');
    std::ifstream holder(path, std::ios::binary); // another program reading it
    ASSERT_EQ(Save(path), SaveOutcome::Saved);
    EXPECT_TRUE(HoldsTheImage(path));
    const std::string seen{std::istreambuf_iterator<char>(holder), {}};
    EXPECT_EQ(seen, std::string(300, 'h')) << "the reader keeps the old file whole";
}

TEST_F(SaveTest, FailedWriteLeavesTheOldFileWhole) {
    const auto path = Write("old.bin", 5000, 'o');
    const auto old = Read(path);
    // Let the process write no more than 4096 bytes to any file: the save fails midway.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const SaveOutcome outcome = Save(path);
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_EQ(outcome, SaveOutcome::Failed);
    EXPECT_EQ(Read(path), old);
    EXPECT_EQ(FilesInFolder(), 1u) << "no temporary file is left";
}

TEST_F(SaveTest, TargetsThatAreNotFilesAreNotTouched) {
    fs::create_directory(dir_ / "folder.bin");
    ASSERT_EQ(::mkfifo((dir_ / "pipe.bin").c_str(), 0600), 0);
    for (const fs::path& p : {dir_ / "no-such-folder" / "a.bin", dir_ / "folder.bin",
                              dir_ / "pipe.bin", fs::path("/dev/null")}) {
        SCOPED_TRACE(p);
        EXPECT_EQ(Save(p), SaveOutcome::Failed);
    }
    EXPECT_TRUE(fs::is_directory(dir_ / "folder.bin"));
    EXPECT_TRUE(fs::is_fifo(dir_ / "pipe.bin"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(FilesInFolder(), 2u);
}

TEST_F(SaveTest, FileTheUserMayNotWriteIsKept) {
    const auto path = Write("protected.bin", 100, 'p');
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    HandOverFolder(dir_); // the folder may be written, the file may not
    [[maybe_unused]] const int owned = ::chown(path.c_str(), UnprivilegedUser, UnprivilegedUser);
    EXPECT_EQ(RunUnprivileged([&] { return Save(path) == SaveOutcome::Failed ? 0 : 1; }), 0);
    EXPECT_EQ(Read(path), std::vector<std::uint8_t>(100, 'p'));
}

TEST_F(SaveTest, KeepsPermissionsLinksAndLongNames) {
    const auto kept = Write("private.bin", 10);
    fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(Save(kept), SaveOutcome::Saved);
    EXPECT_EQ(fs::status(kept).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    const auto target = Write("target.bin", 10);
    fs::create_symlink(target, dir_ / "link.bin");
    ASSERT_EQ(Save(dir_ / "link.bin"), SaveOutcome::Saved);
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.bin"));
    EXPECT_TRUE(HoldsTheImage(target));

    // The longest name the file system takes, new and over an old file.
    const std::string longName = std::string(251, 'n') + ".bin";
    ASSERT_EQ(Save(dir_ / longName), SaveOutcome::Saved);
    EXPECT_TRUE(HoldsTheImage(dir_ / longName));
    images.DeviceImage[0] ^= 0xFF;
    ASSERT_EQ(Save(dir_ / longName), SaveOutcome::Saved);
    EXPECT_TRUE(HoldsTheImage(dir_ / longName));

    // A name that is not valid UTF-8 is written under its own bytes, new and again.
    const fs::path odd = dir_ / "odd\xff.bin";
    for (int i = 0; i < 2; ++i) {
        images.DeviceImage[1] = static_cast<std::uint8_t>(i);
        ASSERT_EQ(SaveDeviceImage(images, odd), SaveOutcome::Saved);
        EXPECT_TRUE(HoldsTheImage(odd));
    }
    EXPECT_EQ(FilesInFolder(), 5u);
}

} // namespace
