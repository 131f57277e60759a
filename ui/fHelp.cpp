#include "fHelp.h"

#include "Fonts.h"
#include "qt/QtText.h"

#include "images/OperatorTexts.h"

#include <QPlainTextEdit>

TformHelp::TformHelp(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint |
                          Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("formHelp"));
    setWindowTitle(Q(texts::HelpCaption));
    setFixedSize(497, 338);
    setFont(DesignFont(11));

    QStringList lines;
    for (auto line : texts::HelpLines) {
        lines << Q(line);
    }
    Memo1 = new QPlainTextEdit(this);
    Memo1->setGeometry(0, 0, 497, 338);
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}
