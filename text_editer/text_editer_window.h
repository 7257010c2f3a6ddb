#pragma once

#include "launcher/toolwindow.h"

class TextEditer : public tk::ToolWindow {
    Q_OBJECT
public:
    explicit TextEditer(QWidget *parent = nullptr);
};
