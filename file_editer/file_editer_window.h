#pragma once

#include "launcher/toolwindow.h"

class FileEditer : public tk::ToolWindow {
    Q_OBJECT
public:
    explicit FileEditer(QWidget *parent = nullptr);
};
