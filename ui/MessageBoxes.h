#pragma once

// The tool's message boxes and the default error box for whatever escapes a handler.

#include "images/OperatorTexts.h"
#include "images/ProgramFile.h"

#include <QString>

#include <functional>

class QWidget;

// The executable's file name without its folder and everything from its first
// ".", every letter after the first in lower case: "ProgVektal.exe" gives "Progvektal".
QString ApplicationTitle(const QString& executablePath);

// The error text as the default error box shows it: "." added unless the text
// already ends in a character that sorts at or before ".".
QString DefaultErrorText(const QString& message);

void ShowDefaultError(QWidget* parent, const QString& message);
void ShowMessage(QWidget* parent, const texts::OperatorMessage& message);
void ShowMessage(QWidget* parent, const ShownMessage& message);

// Runs an event handler; anything it throws ends in the default error box.
void Guarded(QWidget* parent, const std::function<void()>& handler);
