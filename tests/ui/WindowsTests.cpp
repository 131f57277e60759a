#include "MainWindowFixture.h"

#include "images/OperatorTexts.h"
#include "qt/QtText.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>

namespace {

using WindowsTest = MainWindowTest;

TEST_F(WindowsTest, HelpWindowShowsTheInstructionsCentredOnTheMainWindow) {
    Start();
    formMain->move(100, 50);
    QString text;
    QRect placed;
    driver.Handle([&](QWidget* w) {
        if (w == formHelp) {
            text = formHelp->Memo1->toPlainText();
            placed = formHelp->frameGeometry();
            formHelp->Memo1->appendPlainText("правка");
            formHelp->close();
        }
    });
    formMain->btnHelp->click();
    EXPECT_EQ(formHelp->windowTitle(), "Файл справки");
    EXPECT_EQ(formHelp->size(), QSize(497, 338));
    const QStringList lines = text.split('\n');
    ASSERT_EQ(lines.size(), 27);
    EXPECT_EQ(lines[0], "Программирование прибора ВЕКТАЛ-7");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[7],
              "6. Нажмите кнопку записать программу. (При этом откроется окно ожидания связи с ");
    EXPECT_EQ(lines[17], lines[7]);
    EXPECT_EQ(lines[26], "3. Сравните файлы (Кнопка 'Сравните программу с программой прибора')");
    const QRect main = formMain->frameGeometry();
    EXPECT_EQ(placed.left(), main.left() + main.width() / 2 - placed.width() / 2);
    EXPECT_EQ(placed.top(), main.top() + main.height() / 2 - placed.height() / 2);
    EXPECT_FALSE(formHelp->Memo1->isReadOnly());
    EXPECT_TRUE(formHelp->Memo1->toPlainText().endsWith("правка")) << "edits last";
}

TEST_F(WindowsTest, WaitWindowLayoutAndClose) {
    Start();
    QRect placed;
    Arm(formMain->BtnRead, [&] { placed = formSearsh->frameGeometry(); });
    EXPECT_TRUE(formSearsh->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(formSearsh->size(), QSize(298, 101));
    EXPECT_EQ(formSearsh->stInfo->geometry(), QRect(8, 73, 201, 20));
    EXPECT_EQ(formSearsh->ProgressBar1->geometry(), QRect(8, 51, 281, 16));
    EXPECT_EQ(formSearsh->BtnCancel->text(), "Закрыть");
    EXPECT_EQ(formSearsh->BtnCancel->geometry(), QRect(216, 72, 75, 21));
    const QRect main = formMain->frameGeometry();
    EXPECT_EQ(placed.left(), main.left() + main.width() / 2 - 149);
    EXPECT_EQ(placed.top(), main.top() + main.height() / 2 - 50);
    EXPECT_FALSE(formSearsh->Animate1->Playing()) << "closing stops the animation";
    EXPECT_EQ(formSearsh->Animate1->Frame(), 0);
    EXPECT_TRUE(port.IsOpen()) << "closing the wait window keeps the port open";
}

TEST_F(WindowsTest, ControlsCarryTheirTexts) {
    Start();
    EXPECT_EQ(formMain->BtnOpen->toolTip(), "Открыть файл с программой");
    EXPECT_EQ(formMain->BtnSaveAs->toolTip(), "Сохранить программу как ...");
    EXPECT_EQ(formMain->BtnRead->toolTip(), "Считать программу из прибора");
    EXPECT_EQ(formMain->BtnVerify->toolTip(), "Сравнить программу с программой прибора");
    EXPECT_EQ(formMain->btnHelp->toolTip(), "Помощь");
    EXPECT_EQ(formMain->GroupBox2->title(), " Информация о программе ");
    EXPECT_EQ(formMain->GroupBox1->title(), " Запись программы в прибор ");
    EXPECT_EQ(formMain->cbCheck->text(), "Записать с проверкой");
    EXPECT_EQ(formMain->BtnWrite->text(), "Записать программу");
    EXPECT_EQ(formMain->BtnWrite->geometry(), QRect(8, 48, 241, 25));
    // Every text fits in its control.
    for (QWidget* w : formMain->findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
            EXPECT_GE(label->width(), label->sizeHint().width()) << U8(label->text());
        }
    }
    EXPECT_GE(formMain->cbCheck->width(), formMain->cbCheck->sizeHint().width());
}

TEST_F(WindowsTest, QtsOwnWordsAreRussian) {
    Start();
    QStringList buttons;
    driver.Handle([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        if (!dialog) {
            return;
        }
        for (QAbstractButton* b : dialog->findChild<QDialogButtonBox*>()->buttons()) {
            buttons << b->text();
        }
        dialog->reject();
    });
    formMain->BtnOpen->click();
    driver.Handle(nullptr);
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"&Открыть", "Отмена"}));
}

} // namespace
