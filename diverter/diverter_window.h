#pragma once

#include "launcher/toolwindow.h"

class Diverter : public tk::ToolWindow {
    Q_OBJECT
public:
    explicit Diverter(QWidget *parent = nullptr);
};
