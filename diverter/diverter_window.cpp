#include "diverter/diverter_window.h"

Diverter::Diverter(QWidget *parent)
    : tk::ToolWindow({QStringLiteral("tarnwick's diverter"), 7815, 4890, tk::SystemColour::MenuText,
                      QStringLiteral("diverter"), false},
                     parent)
{
}
