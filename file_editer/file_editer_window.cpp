#include "file_editer/file_editer_window.h"

FileEditer::FileEditer(QWidget *parent)
    : tk::ToolWindow({QStringLiteral("tarnwick's File Editer"), 6105, 2235, tk::SystemColour::MenuText,
                      QStringLiteral("fileeditor"), true},
                     parent)
{
}
