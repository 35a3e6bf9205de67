#pragma once
#include <QWidget>

// Shown by the program until its catalogue window exists.
QWidget *CreatePlaceholderWindow();
