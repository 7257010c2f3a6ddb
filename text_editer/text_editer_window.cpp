#include "text_editer/text_editer_window.h"

TextEditer::TextEditer(QWidget *parent)
    : tk::ToolWindow({QStringLiteral("tarnwick's Text Editer"), 5685, 5985, tk::SystemColour::WindowFrame,
                      QStringLiteral("texteditor"), false},
                     parent)
{
}
