#include "MainWindowFixture.h"

#include <QFileDialog>

namespace {

using FileTest = MainWindowTest;

TEST_F(FileTest, OpenDialogLoadsRefusesAndRemembers) {
    Start();
    const QString good = WriteFile("good.bin", 257);
    ChooseInDialog(formMain->BtnOpen, good);
    EXPECT_TRUE(driver.boxes.empty());
    EXPECT_EQ(formMain->stNameFile->text(), "good.bin");
    EXPECT_EQ(formMain->stKolSect->text(), "2");

    ChooseInDialog(formMain->BtnOpen, ""); // cancelled: the program stays
    EXPECT_EQ(formMain->state.images.ProgramLoaded, 1);
    EXPECT_EQ(formMain->stNameFile->text(), "good.bin");

    ChooseInDialog(formMain->BtnOpen, WriteFile("big.bin", 131073));
    EXPECT_EQ(BoxTexts(), std::vector<QString>{"Размер файла превышает максимально допустимый"});
    EXPECT_EQ(formMain->state.images.ProgramLoaded, 0);
    EXPECT_TRUE(formMain->stNameFile->text().isEmpty());
    EXPECT_EQ(formMain->stNameFile->toolTip(), good) << "a refused file keeps the old tool tip";

    const QString missing = dir.filePath("typed.bin");
    ChooseInDialog(formMain->BtnOpen, missing);
    ASSERT_EQ(driver.boxes.size(), 2u);
    EXPECT_EQ(driver.boxes[1].text, "Не могу считать файл");
    EXPECT_EQ(driver.boxes[1].caption, "Ошибка");
    EXPECT_TRUE(formMain->stNameFile->toolTip().isEmpty());
    formMain->close();
    EXPECT_EQ(Stored("OpenDialog1_FileName"), missing);
}

TEST_F(FileTest, WriteAndCompareNeedTheirImages) {
    Start();
    formMain->BtnWrite->click();
    formMain->BtnVerify->click();
    ASSERT_EQ(driver.boxes.size(), 2u);
    EXPECT_EQ(driver.boxes[0].text, "Программа не загружена");
    EXPECT_EQ(driver.boxes[0].caption, "Программатор");
    EXPECT_EQ(driver.boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(driver.boxes[1].text, "Один из файлов не загружен");
    EXPECT_EQ(driver.boxes[1].caption, "Программатор");
    EXPECT_EQ(driver.boxes[1].icon, QMessageBox::Warning);
    EXPECT_EQ(port.opens, 0) << "a write without a program does not touch the port";
}

} // namespace
