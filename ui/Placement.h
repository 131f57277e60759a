#pragma once

class QWidget;

// Places window so that its centre, frame included, is over the centre of
// main's frame, each half truncated toward zero.
void CentreOver(QWidget& window, const QWidget& main);
